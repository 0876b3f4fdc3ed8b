#include "app/window/DesktopActions.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>

#include "app/window/WindowArithmetic.h"
#include "station/SafeFile.h"

namespace vela::app {

namespace {

QByteArray PlainTextFile(const QString& paneText) {
  QString text = paneText;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\n', QStringLiteral("\r\n"));
  return text.toUtf8() + "\r\n";
}

DesktopResult WriteScreen(const QString& name, const QByteArray& bytes) {
  std::string reason;
  if (!WriteFileSafely(QFile::encodeName(name).toStdString(),
                       std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                       &reason)) {
    return {{},
            QStringLiteral("Could not save the receive pane to %1: %2")
                .arg(QFileInfo(name).absoluteFilePath(), QString::fromLocal8Bit(reason))};
  }
  return {name, {}};
}

// One run of pane text in RTF: the markup characters escaped, everything beyond ASCII as
// {\uN?} (UTF-16 units, signed as RTF wants them), line ends as paragraph ends.
void AppendRtfText(QByteArray& out, const QString& text) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == u'\\' || u == u'{' || u == u'}') {
      out += '\\';
      out += static_cast<char>(u);
    } else if (u == u'\n' || u == QChar::ParagraphSeparator || u == QChar::LineSeparator) {
      out += "\\par\n";
    } else if (u == u'\t') {
      out += "\\tab ";
    } else if (u >= 0x20 && u < 0x7F) {
      out += static_cast<char>(u);
    } else if (u >= 0x80) {
      // In a group of its own, so no reader can take the text after it for the fallback.
      out += "{\\u" + QByteArray::number(static_cast<int16_t>(u)) + "?}";
    }
  }
}

}  // namespace

DesktopResult SaveScreenFile(const QString& paneText, const QDateTime& now, const QString& folder) {
  const QDate d = now.date();
  const QTime t = now.time();
  QString name = QString::fromStdString(
      SaveScreenFileName(d.day(), d.month(), d.year(), t.hour(), t.minute(), t.second()));
  if (!folder.isEmpty()) name = folder + u'/' + name;
  return WriteScreen(name, PlainTextFile(paneText));
}

QByteArray ScreenRichText(const QTextDocument& pane) {
  QList<QColor> colours;
  QByteArray body;
  for (QTextBlock block = pane.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid()) continue;
      const QColor colour = fragment.charFormat().foreground().color();
      qsizetype index = colours.indexOf(colour);
      if (index < 0) {
        index = colours.size();
        colours.append(colour);
      }
      // Colour 0 of the table is the reader's default; the pane's colours count from 1.
      body += "\\cf" + QByteArray::number(index + 1) + ' ';
      AppendRtfText(body, fragment.text());
    }
    if (block.next().isValid()) body += "\\par\n";
  }
  QByteArray out =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fmodern Courier New;}}\n";
  out += "{\\colortbl;";
  for (const QColor& c : colours) {
    out += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) +
           "\\blue" + QByteArray::number(c.blue()) + ';';
  }
  out += "}\n\\f0\\fs20 " + body + "\\par\n}\n";
  return out;
}

DesktopResult SaveScreenAs(const QTextDocument& pane, const QString& path) {
  const bool plain = path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive);
  return WriteScreen(path, plain ? PlainTextFile(pane.toPlainText()) : ScreenRichText(pane));
}

bool LaunchMixer(bool devicesPage) {
  const QString pavucontrol = QStandardPaths::findExecutable(QStringLiteral("pavucontrol"));
  if (!pavucontrol.isEmpty()) {
    QStringList args;
    if (devicesPage) args << QStringLiteral("--tab=3");
    QProcess::startDetached(pavucontrol, args);
    return true;
  }
  const QString alsamixer = QStandardPaths::findExecutable(QStringLiteral("alsamixer"));
  if (alsamixer.isEmpty()) return false;
  for (const char* terminal : {"x-terminal-emulator", "xterm", "gnome-terminal", "konsole",
                               "xfce4-terminal", "lxterminal"}) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(terminal));
    if (path.isEmpty()) continue;
    QStringList args{QStringLiteral("-e"), alsamixer};
    if (devicesPage) args << QStringLiteral("--view=all");
    if (QProcess::startDetached(path, args)) return true;
  }
  return false;
}

}  // namespace vela::app
