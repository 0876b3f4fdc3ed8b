// Text that arrives as bytes (the preferences file, files dropped on the window): older
// stations wrote Windows-1252, newer ones UTF-8. Both are read; UTF-8 is written.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>

namespace vela::app {

// UTF-8 when the bytes are valid UTF-8 (a leading byte-order mark is dropped), otherwise
// Windows-1252.
QString DecodeText(const QByteArray& bytes);

// Windows-1252 alone; the five bytes the code page leaves undefined map to U+0081 etc.
QString DecodeWindows1252(const QByteArray& bytes);

bool IsValidUtf8(const QByteArray& bytes);

// The bytes that go on air: Windows-1252, with '?' for a character the code page lacks.
QByteArray EncodeWindows1252(const QString& text);
// The same, as the modem takes it.
std::string AirBytes(const QString& text);
// One character from the air as the panes show it.
QChar FromAir(uint8_t c);

}  // namespace vela::app
