#include "app/TextCodec.h"

#include <QStringDecoder>

#include "coding/Charset.h"

namespace vela::app {

bool IsValidUtf8(const QByteArray& bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString ignored = decoder.decode(bytes);
  return !decoder.hasError();
}

QString DecodeWindows1252(const QByteArray& bytes) {
  QString text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    text.append(QChar(static_cast<char16_t>(FromWindows1252(static_cast<uint8_t>(c)))));
  }
  return text;
}

QByteArray EncodeWindows1252(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size());
  // A surrogate half has no byte: a character beyond the basic plane goes as "??".
  for (QChar qc : text) bytes.append(ToWindows1252(qc.unicode()));
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
