#include "app/TextCodec.h"

#include <QStringDecoder>
#include <array>

namespace vela::app {

namespace {

// Bytes 0x80..0x9F of Windows-1252; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

bool IsValidUtf8(const QByteArray& bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString ignored = decoder.decode(bytes);
  return !decoder.hasError();
}

QString DecodeWindows1252(const QByteArray& bytes) {
  QString text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 0x80 && b < 0xA0) {
      text.append(QChar(kHighControls[b - 0x80]));
    } else {
      text.append(QChar(static_cast<char16_t>(b)));
    }
  }
  return text;
}

QByteArray EncodeWindows1252(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size());
  for (QChar qc : text) {
    char16_t u = qc.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      bytes.append(static_cast<char>(u));
      continue;
    }
    char out = '?';
    for (int i = 0; i < 32; ++i) {
      if (kHighControls[i] == u) {
        out = static_cast<char>(0x80 + i);
        break;
      }
    }
    bytes.append(out);
  }
  return bytes;
}

QString DecodeText(const QByteArray& bytes) {
  if (!IsValidUtf8(bytes)) return DecodeWindows1252(bytes);
  QByteArray body = bytes;
  if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
  return QString::fromUtf8(body);
}

std::string AirBytes(const QString& text) {
  const QByteArray bytes = EncodeWindows1252(text);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QChar FromAir(uint8_t c) {
  const char byte = static_cast<char>(c);
  const QString text = DecodeWindows1252(QByteArray(&byte, 1));
  return text.isEmpty() ? QChar(u'?') : text.front();
}

}  // namespace vela::app
