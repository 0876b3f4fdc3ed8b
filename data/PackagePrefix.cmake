# Read by cpack. A package unpacked under /usr from a build configured for another prefix
# would look for its help page and sample recording where they are not: refuse to make it.
if(NOT CPACK_PACKAGING_INSTALL_PREFIX STREQUAL CPACK_VELA_CONFIGURED_PREFIX)
  message(FATAL_ERROR
    "this build is configured for ${CPACK_VELA_CONFIGURED_PREFIX}, the package installs under "
    "${CPACK_PACKAGING_INSTALL_PREFIX}: configure with "
    "-DCMAKE_INSTALL_PREFIX=${CPACK_PACKAGING_INSTALL_PREFIX}, build, then run cpack")
endif()
