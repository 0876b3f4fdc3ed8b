// The station's side of a logger's UDP messages: what a tool may send is read without trust,
// and the client answers a real socket the way such tools expect.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include "net/UdpMessages.h"

namespace vela {
namespace {

using wsjtx::Inbound;

// Built by hand from the format, not by the station's writer.
std::string Be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}
std::string Str(const std::string& s) {
  return Be32(static_cast<uint32_t>(s.size())) + s;
}
std::string Message(uint32_t type, const std::string& payload = "", uint32_t schema = 3,
                    const std::string& id = "VELA Terminal") {
  return Be32(0xadbccbda) + Be32(schema) + Be32(type) + Str(id) + payload;
}
std::span<const uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(WsjtxMessages, InboundMessagesAreReadOnlyWhenWhole) {
  struct Case {
    std::string datagram;
    std::optional<Inbound::Kind> kind;  // nothing: malformed
  };
  const std::string halt = Message(8, "\x01");
  const Case cases[] = {
      {Message(0, Be32(3) + Str("2.7") + Str("")), Inbound::Kind::Heartbeat},
      {Message(0), Inbound::Kind::Heartbeat},  // an old server: schema 2 assumed
      {halt, Inbound::Kind::HaltTx},
      {halt + "extra fields of a newer server", Inbound::Kind::HaltTx},
      {Message(9, Str("CQ de G4ABC") + '\1'), Inbound::Kind::FreeText},
      {Message(7), Inbound::Kind::Replay},
      {Message(3), Inbound::Kind::Clear},
      {Message(3, std::string(1, '\2')), Inbound::Kind::Clear},
      {Message(11, Str("IO91wm")), Inbound::Kind::Location},
      {Message(11, Str("JO62")), Inbound::Kind::Location},
      {Message(6), Inbound::Kind::Close},
      {Message(4, "anything"), Inbound::Kind::Other},  // a reply: not ours to act on
      {Message(99), Inbound::Kind::Other},
      {Message(8, "\x01", 2, std::string(1, '\xff')), Inbound::Kind::HaltTx},
      // Malformed:
      {"", std::nullopt},
      {halt.substr(0, 11), std::nullopt},
      {halt.substr(0, halt.size() - 1), std::nullopt},
      {Be32(0xadbccbdb) + halt.substr(4), std::nullopt},
      {Message(8, "\x01", 0), std::nullopt},
      {Message(8, "\x01", 4), std::nullopt},
      {Be32(0xadbccbda) + Be32(3) + Be32(8) + Be32(0x7fffffff) + "short", std::nullopt},
      {Message(9, Be32(1000) + "CQ"), std::nullopt},
      {Message(9, Str("CQ")), std::nullopt},  // the send flag missing
      {Message(11, Str("IO91wm<script>")), std::nullopt},
      {Message(11, Str("ZZ99")), std::nullopt},
      {Message(3, std::string(1, '\3')), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.datagram));
    std::string why;
    const auto m = wsjtx::ReadInbound(Span(c.datagram), &why);
    ASSERT_EQ(m.has_value(), c.kind.has_value()) << why;
    if (m) {
      EXPECT_EQ(m->kind, *c.kind);
    } else {
      EXPECT_FALSE(why.empty());
    }
  }
  std::string why;
  const auto text = wsjtx::ReadInbound(Span(Message(9, Str("CQ de G4ABC") + '\1')), &why);
  EXPECT_EQ(text->text, "CQ de G4ABC");
  EXPECT_TRUE(text->send);
  EXPECT_EQ(wsjtx::ReadInbound(Span(Message(0)), &why)->maxSchema, 2u);
  EXPECT_EQ(wsjtx::ReadInbound(Span(Message(11, Str("IO91wm"))), &why)->locator, "IO91wm");
}

// A server on a real socket: it hears the heartbeat at once, can halt the transmitter, is
// answered in the older schema it asks for, and its junk is counted, never acted on.
TEST(UdpMessages, AServerIsHeardAndObeyedOnlyForWholeMessagesToUs) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name};
  QCoreApplication app(argc, argv);
  QUdpSocket server;
  ASSERT_TRUE(server.bind(QHostAddress::LocalHost, 0));
  UdpMessages client({QHostAddress(QHostAddress::LocalHost), server.localPort()});
  int halts = 0;
  std::string location;
  client.handlers.haltTx = [&](bool) { ++halts; };
  client.handlers.location = [&](const std::string& l) { location = l; };
  std::string why;
  ASSERT_TRUE(client.Start(&why)) << why;

  const auto receive = [&]() -> QNetworkDatagram {
    QElapsedTimer clock;
    clock.start();
    while (!server.hasPendingDatagrams() && clock.elapsed() < 5000) server.waitForReadyRead(100);
    return server.receiveDatagram();
  };
  const QNetworkDatagram heartbeat = receive();
  const QByteArray first = heartbeat.data();
  ASSERT_GE(first.size(), 12);
  EXPECT_EQ(first.left(12), QByteArray::fromStdString(Be32(0xadbccbda) + Be32(3) + Be32(0)));
  EXPECT_TRUE(first.contains("VELA Terminal"));

  const auto toClient = [&](const std::string& datagram) {
    server.writeDatagram(datagram.data(), static_cast<qint64>(datagram.size()),
                         heartbeat.senderAddress(), static_cast<quint16>(heartbeat.senderPort()));
  };
  toClient(Message(0, Be32(2) + Str("old") + Str("")));
  toClient(Message(8, std::string(1, '\0'), 3, "another program"));
  toClient(Message(8, ""));  // cut short
  toClient("junk");
  toClient(Message(11, Str("IO91wm")));
  toClient(Message(8, std::string(1, '\0')));
  QElapsedTimer clock;
  clock.start();
  while (halts == 0 && clock.elapsed() < 5000)
    app.processEvents(QEventLoop::WaitForMoreEvents, 100);
  EXPECT_EQ(halts, 1);
  EXPECT_EQ(location, "IO91wm");
  EXPECT_EQ(client.malformed(), 2);

  wsjtx::Status status;
  status.mode = "VELA63";
  client.SetStatus(status);
  client.SetStatus(status);  // unchanged: not sent again
  status.transmitting = true;
  client.SetStatus(status);
  for (int i = 0; i < 2; ++i) {
    const QByteArray next = receive().data();
    ASSERT_GE(next.size(), 12);
    EXPECT_EQ(next.left(12), QByteArray::fromStdString(Be32(0xadbccbda) + Be32(2) + Be32(1)));
  }
  client.Close();
  EXPECT_EQ(receive().data().mid(8, 4), QByteArray::fromStdString(Be32(6)));
  EXPECT_FALSE(server.hasPendingDatagrams());
}

}  // namespace
}  // namespace vela
