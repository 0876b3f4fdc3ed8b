#include "net/UdpSpotSink.h"

#include <QHostInfo>
#include <charconv>
#include <chrono>
#include <random>

namespace vela::net {

std::optional<HostPort> ParseHostPort(const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return std::nullopt;
  std::string host = text.substr(0, colon);
  if (host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty() || host.find_first_of(" []") != std::string::npos) return std::nullopt;
  unsigned port = 0;
  const char* first = text.data() + colon + 1;
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, port);
  if (first == last || ec != std::errc() || end != last || port == 0 || port > 65535)
    return std::nullopt;
  return HostPort{host, static_cast<uint16_t>(port)};
}

UdpSpotSink::UdpSpotSink(const std::string& host, uint16_t port) : host_(host), port_(port) {
  if (!address_.setAddress(QString::fromStdString(host))) Lookup();
}

void UdpSpotSink::Lookup() {
  auto answer = [this](const QHostInfo& info) {
    lookup_ = -1;
    if (!info.addresses().isEmpty()) {
      address_ = info.addresses().first();
    } else {
      error_ = host_ + ": " + info.errorString().toStdString();
    }
  };
  lookup_ = QHostInfo::lookupHost(QString::fromStdString(host_), &socket_, answer);
}

UdpSpotSink::~UdpSpotSink() {
  if (lookup_ >= 0) QHostInfo::abortHostLookup(lookup_);
}

bool UdpSpotSink::Resolve() {
  if (!address_.isNull()) return true;
  const QHostInfo info = QHostInfo::fromName(QString::fromStdString(host_));
  if (info.addresses().isEmpty()) {
    error_ = host_ + ": " + info.errorString().toStdString();
    return false;
  }
  address_ = info.addresses().first();
  return true;
}

bool UdpSpotSink::Send(std::span<const uint8_t> datagram) {
  if (address_.isNull()) {
    // No answer yet, or the network was down when it was asked: ask again.
    if (lookup_ < 0) Lookup();
    if (error_.empty()) error_ = host_ + ": no address yet";
    return false;
  }
  const qint64 sent = socket_.writeDatagram(reinterpret_cast<const char*>(datagram.data()),
                                            static_cast<qint64>(datagram.size()), address_, port_);
  if (sent != static_cast<qint64>(datagram.size())) {
    error_ = socket_.errorString().toStdString();
    return false;
  }
  error_.clear();
  return true;
}

uint32_t NewObservationDomain() {
  std::random_device device;
  std::uniform_int_distribution<uint32_t> pick(1, 0xFFFFFFFFu);
  return pick(device);
}

int64_t UnixSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace vela::net
