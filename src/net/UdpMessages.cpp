#include "net/UdpMessages.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QVariant>
#include <span>

#include "station/Logbook.h"

namespace vela {

std::optional<UdpAddress> ParseUdpAddress(const std::string& text, std::string* why) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    *why = "\"" + text + "\" is not HOST:PORT (127.0.0.1:2237, say)";
    return std::nullopt;
  }
  std::string host = text.substr(0, colon);
  const std::string portText = text.substr(colon + 1);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  bool portOk = !portText.empty() && portText.size() <= 5 &&
                portText.find_first_not_of("0123456789") == std::string::npos;
  const long port = portOk ? std::stol(portText) : 0;
  if (!portOk || port < 1 || port > 65535) {
    *why = "the port of \"" + text + "\" is not a number from 1 to 65535";
    return std::nullopt;
  }
  UdpAddress address;
  address.port = static_cast<uint16_t>(port);
  if (!address.host.setAddress(QString::fromStdString(host))) {
    const QHostInfo info = QHostInfo::fromName(QString::fromStdString(host));
    for (const QHostAddress& a : info.addresses()) {
      if (a.protocol() == QAbstractSocket::IPv4Protocol || address.host.isNull()) address.host = a;
    }
    if (address.host.isNull()) {
      *why = "cannot find the host \"" + host + "\"";
      return std::nullopt;
    }
  }
  return address;
}

UdpMessages::UdpMessages(UdpAddress server, std::string id)
    : server_(std::move(server)), id_(std::move(id)) {
  heartbeat_.setInterval(
      std::chrono::duration_cast<std::chrono::milliseconds>(wsjtx::kHeartbeatInterval));
  heartbeat_.callOnTimeout(
      [this] { Send(wsjtx::EncodeHeartbeat(id_, schema_, ProgramVersion())); });
  QObject::connect(&socket_, &QUdpSocket::readyRead, [this] { ReadPending(); });
}

UdpMessages::~UdpMessages() {
  Close();
}

bool UdpMessages::Start(std::string* why) {
  const bool v6 = server_.host.protocol() == QAbstractSocket::IPv6Protocol;
  // Replies come back to the port we send from; a loopback server needs no wider socket.
  const QHostAddress local =
      server_.host.isLoopback()
          ? (v6 ? QHostAddress(QHostAddress::LocalHostIPv6) : QHostAddress(QHostAddress::LocalHost))
          : (v6 ? QHostAddress(QHostAddress::AnyIPv6) : QHostAddress(QHostAddress::AnyIPv4));
  if (!socket_.bind(local, 0)) {
    *why = "UDP: " + socket_.errorString().toStdString();
    return false;
  }
  if (server_.host.isMulticast()) {
    // Other programs on this machine listen to the group too; it stays on the local network.
    socket_.setSocketOption(QAbstractSocket::MulticastLoopbackOption, 1);
    socket_.setSocketOption(QAbstractSocket::MulticastTtlOption, 1);
  }
  started_ = true;
  Send(wsjtx::EncodeHeartbeat(id_, schema_, ProgramVersion()));
  heartbeat_.start();
  return true;
}

void UdpMessages::SetStatus(const wsjtx::Status& status) {
  if (statusSent_ && status == status_) return;
  status_ = status;
  statusSent_ = true;
  Send(wsjtx::EncodeStatus(id_, schema_, status_));
}

void UdpMessages::SendDecode(const wsjtx::Decode& decode) {
  decodes_.push_back(decode);
  decodes_.back().isNew = false;
  if (decodes_.size() > kReplayDecodes) decodes_.pop_front();
  Send(wsjtx::EncodeDecode(id_, schema_, decode));
}

void UdpMessages::SendClear() {
  decodes_.clear();
  Send(wsjtx::EncodeClear(id_, schema_));
}

void UdpMessages::SendLogged(const wsjtx::QsoLogged& qso, const std::string& adifRecord) {
  Send(wsjtx::EncodeQsoLogged(id_, schema_, qso));
  // A whole ADIF file of one record, so the receiver can import it as it stands.
  std::string adif = "<adif_ver:5>3.1.4 <programid:" + std::to_string(kClientId.size()) + ">" +
                     std::string(kClientId) + " <EOH> " + adifRecord;
  Send(wsjtx::EncodeLoggedAdif(id_, schema_, adif));
}

void UdpMessages::SendLogged(const QsoRecord& record) {
  wsjtx::QsoLogged qso;
  qso.timeOn = record.timeOn;
  qso.timeOff = record.timeOff;
  qso.dxCall = record.call;
  qso.dxGrid = record.grid;
  qso.txHz = static_cast<uint64_t>(record.frequencyHz);
  qso.mode = record.submode;
  qso.rstSent = record.rstSent;
  qso.rstReceived = record.rstReceived;
  qso.comments = record.comment;
  qso.name = record.name;
  qso.myCall = record.stationCallsign;
  qso.myGrid = record.myGrid;
  SendLogged(qso, AdifRecord(record));
}

void UdpMessages::Close() {
  if (!started_ || closed_) return;
  closed_ = true;
  heartbeat_.stop();
  Send(wsjtx::EncodeClose(id_, schema_));
}

std::optional<std::string> UdpMessages::TakeError() {
  if (error_.empty()) return std::nullopt;
  return std::exchange(error_, {});
}

void UdpMessages::Send(const std::string& datagram) {
  if (!started_) return;
  const qint64 sent = socket_.writeDatagram(datagram.data(), static_cast<qint64>(datagram.size()),
                                            server_.host, server_.port);
  // Nobody listening yet (the logger not started) is no failure: the next one may reach it.
  if (sent < 0 && socket_.error() != QAbstractSocket::ConnectionRefusedError && error_.empty()) {
    error_ = "UDP: " + socket_.errorString().toStdString();
  }
}

void UdpMessages::ReadPending() {
  while (socket_.hasPendingDatagrams()) {
    const QNetworkDatagram datagram = socket_.receiveDatagram();
    const QByteArray data = datagram.data();
    std::string why;
    const auto message =
        wsjtx::ReadInbound(std::span(reinterpret_cast<const uint8_t*>(data.constData()),
                                     static_cast<size_t>(data.size())),
                           &why);
    if (!message) {
      ++malformed_;
      lastMalformed_ = why;
      continue;
    }
    Handle(*message);
  }
}

void UdpMessages::Handle(const wsjtx::Inbound& m) {
  // A message for another program sharing the server is none of ours.
  if (!m.id.empty() && m.id != id_) return;
  using Kind = wsjtx::Inbound::Kind;
  switch (m.kind) {
    case Kind::Heartbeat:
      // A server that speaks an older schema is answered in it, never a newer one.
      if (m.maxSchema >= 2 && m.maxSchema < schema_) schema_ = m.maxSchema;
      break;
    case Kind::HaltTx:
      if (handlers.haltTx) handlers.haltTx(m.autoTxOnly);
      break;
    case Kind::FreeText:
      if (handlers.freeText) handlers.freeText(m.text, m.send);
      break;
    case Kind::Replay:
      for (const wsjtx::Decode& d : decodes_) Send(wsjtx::EncodeDecode(id_, schema_, d));
      if (statusSent_) Send(wsjtx::EncodeStatus(id_, schema_, status_));
      break;
    case Kind::Clear:
      if (m.window != 1) decodes_.clear();
      if (handlers.clear) handlers.clear(m.window);
      break;
    case Kind::Location:
      if (handlers.location) handlers.location(m.locator);
      break;
    case Kind::Close:
    case Kind::Other:
      break;
  }
}

}  // namespace vela
