/* Stands in for a serial port's modem-control lines on a pseudo-terminal, which has none:
   loaded with LD_PRELOAD, it answers the line ioctls the pty refuses, keeps the line state
   and appends every change of DTR or RTS to the file named by VELA_PTT_LOG.
   It also lets the regular file named by VELA_HIDRAW_STANDIN pass for a CM108 sound chip's
   hidraw device, so the HID reports that key its GPIO land in that file. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/hidraw.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

static int lines = TIOCM_DTR | TIOCM_RTS; /* opening a port raises both */

/* Whether `fd` is the file standing in for a hidraw device. */
static int IsHidrawStandIn(int fd) {
  const char* path = getenv("VELA_HIDRAW_STANDIN");
  struct stat file, standIn;
  if (path == NULL || fstat(fd, &file) != 0 || stat(path, &standIn) != 0) return 0;
  return S_ISREG(file.st_mode) && file.st_dev == standIn.st_dev && file.st_ino == standIn.st_ino;
}

static void Log(int before, int after) {
  const char* path = getenv("VELA_PTT_LOG");
  if (path == NULL) return;
  FILE* f = fopen(path, "a");
  if (f == NULL) return;
  if ((before ^ after) & TIOCM_DTR) fprintf(f, "dtr %s\n", (after & TIOCM_DTR) ? "on" : "off");
  if ((before ^ after) & TIOCM_RTS) fprintf(f, "rts %s\n", (after & TIOCM_RTS) ? "on" : "off");
  fclose(f);
}

int ioctl(int fd, unsigned long request, ...) {
  static int (*real)(int, unsigned long, ...) = NULL;
  if (real == NULL) real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  if (request == HIDIOCGRAWINFO && IsHidrawStandIn(fd)) {
    struct hidraw_devinfo* info = (struct hidraw_devinfo*)arg;
    info->bustype = 3;      /* USB */
    info->vendor = 0x0d8c;  /* C-Media */
    info->product = 0x000c; /* CM108 */
    return 0;
  }
  if (request != TIOCMBIS && request != TIOCMBIC && request != TIOCMSET && request != TIOCMGET) {
    return real(fd, request, arg);
  }
  int saved = errno;
  int result = real(fd, request, arg);
  if (result == 0 || (errno != ENOTTY && errno != EINVAL)) return result;
  errno = saved;
  int* value = (int*)arg;
  int before = lines;
  switch (request) {
    case TIOCMGET:
      *value = lines;
      return 0;
    case TIOCMBIS:
      lines |= *value;
      break;
    case TIOCMBIC:
      lines &= ~*value;
      break;
    default:
      lines = *value;
      break;
  }
  Log(before, lines);
  return 0;
}

/* Each port opened later starts with both lines raised again, as a real one does. */
int close(int fd) {
  static int (*real)(int) = NULL;
  if (real == NULL) real = (int (*)(int))dlsym(RTLD_NEXT, "close");
  if (isatty(fd)) lines = TIOCM_DTR | TIOCM_RTS;
  return real(fd);
}

/* Sound libraries load plugins and unload them before exit; memory still pointed to from an
   unloaded plugin then looks leaked to the leak checker. Keeping them loaded avoids that
   false report. */
int dlclose(void* handle) {
  (void)handle;
  return 0;
}
