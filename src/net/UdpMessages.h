// The station as a client of a logger or station tool listening for UDP messages (port 2237
// by convention, a multicast group allowed): a heartbeat at start and every 15 s, a status on
// every change, a decode for each line copied, the QSOs logged, and Close at the end. What
// the tool sends back (halt the transmitter, free text, replay, clear, a new locator) is read
// defensively and handed to the owner's handlers; anything malformed is counted and dropped.
// Runs on the thread of the owner's Qt event loop; without one it can still send.
#pragma once

#include <QHostAddress>
#include <QTimer>
#include <QUdpSocket>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "net/WsjtxMessages.h"

namespace vela {

struct QsoRecord;

struct UdpAddress {
  QHostAddress host;
  uint16_t port = 0;
};

// "HOST:PORT" ("127.0.0.1:2237", "localhost:2237", "224.0.0.1:2237", "[::1]:2237"); nothing,
// with the reason in `why`, when it is not one.
std::optional<UdpAddress> ParseUdpAddress(const std::string& text, std::string* why);

class UdpMessages {
 public:
  struct Handlers {
    std::function<void(bool autoTxOnly)> haltTx;
    std::function<void(const std::string& text, bool send)> freeText;
    std::function<void(int window)> clear;
    std::function<void(const std::string& locator)> location;
  };

  explicit UdpMessages(UdpAddress server, std::string id = std::string(kClientId));
  ~UdpMessages();  // sends Close if Close() was not called
  UdpMessages(const UdpMessages&) = delete;
  UdpMessages& operator=(const UdpMessages&) = delete;

  static constexpr std::string_view kClientId = "VELA Terminal";
  static constexpr size_t kReplayDecodes = 200;  // the decodes kept for a Replay

  // Opens the socket and sends the first heartbeat; false with the reason when it cannot.
  bool Start(std::string* why);
  // Sent only when something in it changed (and again for a Replay).
  void SetStatus(const wsjtx::Status& status);
  const wsjtx::Status& status() const { return status_; }
  void SendDecode(const wsjtx::Decode& decode);
  void SendClear();
  void SendLogged(const wsjtx::QsoLogged& qso, const std::string& adifRecord);
  // A QSO as the log holds it: QSOLogged and the record as ADIF.
  void SendLogged(const QsoRecord& record);
  void Close();

  Handlers handlers;
  // Messages from the server that were malformed, and the last reason.
  int malformed() const { return malformed_; }
  const std::string& lastMalformed() const { return lastMalformed_; }
  // The first failure to send since the last call, once.
  std::optional<std::string> TakeError();
  // Reads what has arrived now (the event loop does this by itself).
  void ReadPending();

 private:
  void Send(const std::string& datagram);
  void Handle(const wsjtx::Inbound& message);

  UdpAddress server_;
  std::string id_;
  uint32_t schema_ = wsjtx::kSchema;
  QUdpSocket socket_;
  QTimer heartbeat_;
  wsjtx::Status status_;
  bool statusSent_ = false;
  std::deque<wsjtx::Decode> decodes_;
  bool started_ = false;
  bool closed_ = false;
  int malformed_ = 0;
  std::string lastMalformed_;
  std::string error_;
};

}  // namespace vela
