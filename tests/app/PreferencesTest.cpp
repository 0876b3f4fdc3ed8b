// The settings file: defaults, the old file layout, quoting, encodings, and a failed save
// that must not cost the operator the previous file.
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <random>

#include "app/settings/Preferences.h"
#include "station/SettingsFolder.h"

using vela::app::FormatPreferenceNumber;
using vela::app::ParsePreferenceNumber;
using vela::app::Preferences;

namespace {

// The settings folder as the terminal's start chooses it.
QString Folder(const QString& start, const QString& configHome) {
  return QString::fromStdString(
      vela::SettingsFolder(start.toStdString(), configHome.toStdString()));
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

Preferences Sample() {
  Preferences p = Preferences::Defaults();
  for (int i = 0; i < Preferences::kMacroCount; ++i) {
    p.macros[i].label = QStringLiteral("L%1").arg(i);
    p.macros[i].text = QStringLiteral("text %1 de G4ABC").arg(i);
  }
  p.callsign = QStringLiteral("G4ABC  ");
  p.squelchLevel = 37;
  p.comPort = 4;
  p.txCentreFrequency = 1234.5L;
  p.secondaryText = QStringLiteral("IO91 ");
  p.rxSampleRate = 7999.9L;
  p.rxCentreFrequency = 987.625L;
  p.cwIdFlag = 1;
  return p;
}

void CompareAll(const Preferences& a, const Preferences& b) {
  for (int i = 0; i < Preferences::kMacroCount; ++i) {
    QCOMPARE(a.macros[i].label, b.macros[i].label);
    QCOMPARE(a.macros[i].text, b.macros[i].text);
  }
  QCOMPARE(a.callsign, b.callsign);
  QCOMPARE(a.squelchLevel, b.squelchLevel);
  QCOMPARE(a.comPort, b.comPort);
  QVERIFY(a.txCentreFrequency == b.txCentreFrequency);
  QCOMPARE(a.secondaryText, b.secondaryText);
  QVERIFY(a.rxSampleRate == b.rxSampleRate);
  QVERIFY(a.rxCentreFrequency == b.rxCentreFrequency);
  QCOMPARE(a.cwIdFlag, b.cwIdFlag);
}

}  // namespace

class PreferencesTest : public QObject {
  Q_OBJECT

 private slots:
  void missingFileGivesEveryDefault() {
    QTemporaryDir dir;
    const Preferences p = Preferences::Load(dir.filePath(QStringLiteral("absent.INI")));
    for (int i = 0; i < 9; ++i) {
      QCOMPARE(p.macros[i].label, QStringLiteral("F%1").arg(i + 1));
      QCOMPARE(p.macros[i].text, QStringLiteral("F%1").arg(i + 1));
    }
    QCOMPARE(p.macros[9].label, QStringLiteral("RX"));
    QCOMPARE(p.macros[9].text, QStringLiteral("[EOT]"));
    QCOMPARE(p.callsign, QStringLiteral("nocall"));
    QCOMPARE(p.squelchLevel, 5);
    QCOMPARE(p.comPort, 0);
    QVERIFY(p.txCentreFrequency == 1000);
    QCOMPARE(p.secondaryText, QStringLiteral("nocall"));
    QVERIFY(p.rxSampleRate == 8000);
    QVERIFY(p.rxCentreFrequency == 1000);
    QCOMPARE(p.cwIdFlag, 0);
  }

  void fileWithOnlyTheFirstLine() {
    const Preferences p = Preferences::Parse("\"CQ\",\"CQ CQ de G4ABC pse k\"\r\n");
    QCOMPARE(p.macros[0].label, QStringLiteral("CQ"));
    QCOMPARE(p.macros[0].text, QStringLiteral("CQ CQ de G4ABC pse k"));
    QCOMPARE(p.macros[1].label, QStringLiteral("F2"));
    QCOMPARE(p.macros[9].text, QStringLiteral("[EOT]"));
    QCOMPARE(p.callsign, QStringLiteral("nocall"));
    QCOMPARE(p.squelchLevel, 5);
    QVERIFY(p.rxSampleRate == 8000);
  }

  void outOfRangeValuesTakeTheirDefaults() {
    QByteArray file;
    for (int i = 0; i < 10; ++i) file += "\"\",\"\"\r\n";
    file += "\"M0XYZ\"\r\n0\r\n-3\r\n.5\r\n\"nocall\"\r\n0\r\n-1000\r\n2\r\n";
    const Preferences p = Preferences::Parse(file);
    QCOMPARE(p.macros[3].label, QStringLiteral("F4"));
    QCOMPARE(p.macros[9].label, QStringLiteral("RX"));
    QCOMPARE(p.callsign, QStringLiteral("M0XYZ"));
    QCOMPARE(p.squelchLevel, 5);  // a click at the bottom of the bar saved 0
    QCOMPARE(p.comPort, 0);
    QVERIFY(p.txCentreFrequency == 1000);                // 0.5 Hz
    QCOMPARE(p.secondaryText, QStringLiteral("M0XYZ"));  // "nocall" gives way to the call
    QVERIFY(p.rxSampleRate == 8000);
    QVERIFY(p.rxCentreFrequency == 1000);
    QCOMPARE(p.cwIdFlag, 0);
  }

  void numbersAreReadLikeTheOldFiles() {
    QByteArray file;
    for (int i = 0; i < 10; ++i) file += "\"a\",\"b\"\r\n";
    // Bare fields, spaces, fractional integers, a unit after the number, junk.
    file += "G3XYZ\r\n 42.6 \r\n3\r\n1500Hz\r\n\"\"\r\n8000.3\r\nnan\r\n1\r\n";
    const Preferences p = Preferences::Parse(file);
    QCOMPARE(p.callsign, QStringLiteral("G3XYZ"));
    QCOMPARE(p.squelchLevel, 43);
    QCOMPARE(p.comPort, 3);
    QVERIFY(p.txCentreFrequency == 1500);
    QCOMPARE(p.secondaryText, QStringLiteral("G3XYZ"));
    QVERIFY(p.rxSampleRate == 8000.3L);
    QVERIFY(p.rxCentreFrequency == 1000);
    QCOMPARE(p.cwIdFlag, 1);
    QVERIFY(ParsePreferenceNumber(QStringLiteral("inf")) == 0);
    QVERIFY(ParsePreferenceNumber(QStringLiteral("0x10")) == 0);
    QVERIFY(ParsePreferenceNumber(QStringLiteral("-2.5")) == -2.5L);
    // A huge count does not overflow the integer settings: it is named and refused.
    QByteArray big = file;
    big.replace(" 42.6 ", "1e300");
    QString problem;
    QCOMPARE(Preferences::Parse(big, &problem).squelchLevel, 5);
    QVERIFY(problem.contains(QStringLiteral("squelch level of 2147483647")));
  }

  void numbersAreWrittenPlain() {
    QCOMPARE(FormatPreferenceNumber(8000), QStringLiteral("8000"));
    QCOMPARE(FormatPreferenceNumber(7999.9L), QStringLiteral("7999.9"));
    QCOMPARE(FormatPreferenceNumber(0.5L), QStringLiteral("0.5"));
    QCOMPARE(FormatPreferenceNumber(-3), QStringLiteral("-3"));
    QCOMPARE(FormatPreferenceNumber(1e20L), QStringLiteral("100000000000000000000"));
  }

  void fileLayoutAndExplanationBlock() {
    const QByteArray bytes = Sample().Serialise();
    const QList<QByteArray> lines = bytes.split('\n');
    QCOMPARE(lines[0], QByteArray("\"L0\",\"text 0 de G4ABC\"\r"));
    QCOMPARE(lines[9], QByteArray("\"L9\",\"text 9 de G4ABC\"\r"));
    QCOMPARE(lines[10], QByteArray("\"G4ABC  \"\r"));
    QCOMPARE(lines[11], QByteArray("37\r"));
    QCOMPARE(lines[12], QByteArray("4\r"));
    QCOMPARE(lines[13], QByteArray("1234.5\r"));
    QCOMPARE(lines[14], QByteArray("\"IO91 \"\r"));
    QCOMPARE(lines[15], QByteArray("7999.9\r"));
    QCOMPARE(lines[16], QByteArray("987.625\r"));
    QCOMPARE(lines[17], QByteArray("1\r"));
    QCOMPARE(lines[18], QByteArray("\r"));
    QCOMPARE(lines[19], QByteArray("\r"));
    QCOMPARE(lines[20], QByteArray("Explanation of terms\r"));
    QCOMPARE(lines[31], QByteArray("CWID flag  1 = variable speed; 0 = constant speed\r"));
    QVERIFY(bytes.endsWith("speed\r\n"));
    QCOMPARE(lines.size(), 33);  // 32 records and the empty tail after the last CR LF
  }

  void roundTripOfEveryField() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(Preferences::kFileName));
    const Preferences original = Sample();
    QString error;
    QVERIFY2(original.Save(path, &error), qPrintable(error));
    CompareAll(Preferences::Load(path), original);
  }

  void awkwardTextSurvives_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("comma") << QStringLiteral("RST 599, QTH Leeds");
    QTest::newRow("quote") << QStringLiteral("my \"new\" antenna");
    QTest::newRow("only quotes") << QStringLiteral("\"\"");
    QTest::newRow("line break") << QStringLiteral("line one\nline two");
    QTest::newRow("CR LF") << QStringLiteral("73\r\nde G4ABC\r\n");
    QTest::newRow("non-ASCII") << QStringLiteral("Grüße aus Köln – 73 €");
    QTest::newRow("leading spaces") << QStringLiteral("   spaced");
  }

  void awkwardTextSurvives() {
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.INI"));
    Preferences p = Sample();
    p.macros[5].text = text;
    p.macros[9].text = text;
    // Line breaks belong in macro texts only; a callsign is short.
    if (!text.contains(u'\n')) {
      p.macros[2].label = text;
      p.secondaryText = text + QStringLiteral("!");
      if (text.size() <= vela::app::SettingLimits::kLongestCallsign) p.callsign = text;
    }
    QVERIFY(p.Save(path));
    const Preferences back = Preferences::Load(path);
    CompareAll(back, p);
  }

  void windows1252FilesStillRead() {
    // An old file with a pound sign and a euro sign in Windows-1252.
    QByteArray file = "\"\xA3 5\",\"\x80 10\"\r\n";
    const Preferences p = Preferences::Parse(file);
    QCOMPARE(p.macros[0].label, QStringLiteral("£ 5"));
    QCOMPARE(p.macros[0].text, QStringLiteral("€ 10"));
    // UTF-8 with a byte-order mark is UTF-8.
    const Preferences q = Preferences::Parse("\xEF\xBB\xBF\"\xC2\xA3\",\"x\"\r\n");
    QCOMPARE(q.macros[0].label, QStringLiteral("£"));
    // And what is written is UTF-8.
    Preferences r = Sample();
    r.callsign = QStringLiteral("£");
    QVERIFY(r.Serialise().contains("\"\xC2\xA3\"\r\n"));
  }

  void failedSaveKeepsTheOldFile() {
    QTemporaryDir dir;
    const QString sub = dir.filePath(QStringLiteral("station"));
    QVERIFY(QDir().mkpath(sub));
    const QString path = sub + QStringLiteral("/VELApreferences.INI");
    Preferences old = Sample();
    QVERIFY(old.Save(path));
    const QByteArray before = ReadAll(path);

    // Make the folder unwritable, even for the superuser.
    bool locked = false;
    if (geteuid() == 0) {
      locked = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), sub}) == 0;
    } else {
      locked = QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner);
    }
    if (!locked) QSKIP("cannot make a folder unwritable here");
    auto unlock = qScopeGuard([&] {
      if (geteuid() == 0) {
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), sub});
      } else {
        QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
      }
    });
    {
      QFile probe(sub + QStringLiteral("/probe"));
      if (probe.open(QIODevice::WriteOnly)) QSKIP("the folder stayed writable");
    }

    Preferences changed = Sample();
    changed.callsign = QStringLiteral("CHANGED");
    QString error;
    QVERIFY(!changed.Save(path, &error));
    QVERIFY(error.contains(QStringLiteral("VELApreferences.INI")));
    QVERIFY(error.contains(QStringLiteral("unchanged")));
    QVERIFY(!error.contains(u'\n'));
    QCOMPARE(ReadAll(path), before);
    QCOMPARE(changed.callsign, QStringLiteral("CHANGED"));
  }

  void saveIntoAMissingFolderSaysWhy() {
    QTemporaryDir dir;
    QString error;
    QVERIFY(!Sample().Save(dir.filePath(QStringLiteral("no/such/folder/p.INI")), &error));
    QVERIFY(!error.isEmpty());
  }

  // Each record at and beyond its limits. A value beyond them makes the whole file suspect:
  // the defaults are used and the value is named.
  void valuesBeyondTheLimitsAreRefused() {
    struct Case {
      int record;  // 1-based, as the file holds them
      QByteArray field;
      const char* named;  // in the reason; null when the value is within the limits
    };
    const Case cases[] = {
        {11, "\"G4ABC/P\"", nullptr},
        {11, "\"G4ABC\x1b]0;x\x07\"", "callsign holds the control character U+001B"},
        {11, "\"" + QByteArray(21, 'G') + "\"", "callsign is 21 characters long"},
        {12, "100", nullptr},
        {12, "101", "squelch level of 101"},
        {13, "9", nullptr},
        {13, "10", "COM port of 10"},
        {14, "200", nullptr},
        {14, "3800", nullptr},
        {14, "199", "transmit frequency (Hz) of 199"},
        {14, "99999", "transmit frequency (Hz) of 99999"},
        {15, "\"a\xc2\x9b\"", "secondary text holds the control character U+009B"},
        {16, "192000", nullptr},
        {16, "3999", "sample rate of 3999"},
        {16, "1e9", "sample rate of 1000000000"},
        {17, "95", "receive frequency (Hz) of 95"},
        {17, "1e9", "receive frequency (Hz) of 1000000000"},
        {1, "\"F1\",\"line one\r\nline two\ttab\"", nullptr},
        {1, "\"F\x01\",\"F1\"", "macro 1's label holds"},
        {2, "\"F2\",\"" + QByteArray(10001, 'e') + "\"", "macro 2's text is 10001"},
    };
    for (const Case& c : cases) {
      QList<QByteArray> records = Sample().Serialise().split('\n');
      records[c.record - 1] = c.field + '\r';
      QString problem;
      const Preferences p = Preferences::Parse(records.join('\n'), &problem);
      const QString trace = QString::fromLatin1(c.field.left(40)) + u' ' + problem;
      if (c.named == nullptr) {
        QVERIFY2(problem.isEmpty(), qPrintable(trace));
        QVERIFY2(p.Serialise().contains(c.field), qPrintable(trace));
      } else {
        QVERIFY2(problem.contains(QString::fromUtf8(c.named)), qPrintable(trace));
        CompareAll(p, Preferences::Defaults());
      }
    }
    // 0.5 Hz and the like are the old empty values: the defaults, silently, as ever.
    QList<QByteArray> records = Sample().Serialise().split('\n');
    records[13] = "0.5\r";
    QString problem;
    QVERIFY(Preferences::Parse(records.join('\n'), &problem).txCentreFrequency == 1000);
    QVERIFY(problem.isEmpty());
  }

  // A file of random bytes is reported once, kept beside as .bad, and never taken.
  void aGarbledFileIsKeptAsBadAndTheDefaultsUsed() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VELApreferences.INI"));
    std::mt19937 random(21);
    for (int round = 0; round < 20; ++round) {
      QByteArray garbage(4096, '\0');
      for (char& b : garbage) b = static_cast<char>(random());
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      file.write(garbage);
      file.close();
      QString warning;
      const Preferences p = Preferences::Load(path, &warning);
      CompareAll(p, Preferences::Defaults());
      QVERIFY2(warning.contains(QStringLiteral("VELApreferences.INI is not usable")),
               qPrintable(warning));
      QVERIFY(warning.contains(QStringLiteral("kept as VELApreferences.INI.bad")));
      QVERIFY(!warning.contains(u'\n'));
      QCOMPARE(ReadAll(path + QStringLiteral(".bad")), garbage);
      QCOMPARE(ReadAll(path), garbage);  // nothing written over it by reading
    }
  }

  void unreadableFileWarnsAndUsesDefaults() {
    QTemporaryDir dir;
    // A folder where the file should be cannot be read as a file.
    const QString path = dir.filePath(QStringLiteral("VELApreferences.INI"));
    QVERIFY(QDir().mkpath(path));
    QString warning;
    const Preferences p = Preferences::Load(path, &warning);
    QVERIFY(!warning.isEmpty());
    QCOMPARE(p.callsign, QStringLiteral("nocall"));
  }

  // A folder that holds a settings file keeps it; anywhere else (the desktop menu starts
  // the terminal in the home folder) the settings go to vela-terminal/ in the user's
  // configuration folder, made on the way; a configuration folder that cannot be made
  // falls back to where the terminal was started.
  void settingsFolderChoice() {
    QTemporaryDir dir;
    const QString station = dir.filePath(QStringLiteral("station"));
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString config = dir.filePath(QStringLiteral("home/.config"));
    QVERIFY(QDir().mkpath(station) && QDir().mkpath(home));
    QVERIFY(Preferences::Defaults().Save(station + QStringLiteral("/VELApreferences.INI")));
    QCOMPARE(Folder(station, config), station);
    QCOMPARE(Folder(home, config), config + QStringLiteral("/vela-terminal"));
    QVERIFY(QDir(config + QStringLiteral("/vela-terminal")).exists());
    QFile blocker(dir.filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    QCOMPARE(Folder(home, blocker.fileName()), home);
  }
};

QTEST_GUILESS_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
