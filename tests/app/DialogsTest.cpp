// The PTT picker, output-mode, sound-card and About dialogs.
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include "app/dialogs/Dialogs.h"

using namespace vela::app;

namespace {

QPushButton* ButtonCalled(QWidget* dialog, const QString& text) {
  for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
    if (b->text() == text) return b;
  }
  return nullptr;
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void pttPickerShowsEachPortsDevice() {
    PttPickerDialog picker(
        3, [](int port) { return port == 3 ? QStringLiteral("/dev/ttyUSB0") : QString(); });
    QCOMPARE(picker.windowTitle(), QStringLiteral("PTT control"));
    bool prompt = false;
    for (QLabel* l : picker.findChildren<QLabel*>()) {
      prompt |= l->text() == QStringLiteral("Select comport for PTT control");
    }
    QVERIFY(prompt);
    QListWidget* list = picker.list();
    QCOMPARE(list->count(), 10);
    QCOMPARE(list->item(0)->text(), QStringLiteral("none"));
    QVERIFY(list->item(1)->text().startsWith(QStringLiteral("COM1")));
    QVERIFY(list->item(3)->text().startsWith(QStringLiteral("COM3")));
    QVERIFY(list->item(3)->text().contains(QStringLiteral("/dev/ttyUSB0")));
    QVERIFY(!list->item(4)->text().contains(QStringLiteral("/dev/")));
    QVERIFY(list->item(9)->text().startsWith(QStringLiteral("COM9")));
    QCOMPARE(picker.entry()->text(), QStringLiteral("COM3"));
    for (const char* name : {"Accept", "Cancel", "Clear"}) {
      QVERIFY2(ButtonCalled(&picker, QString::fromLatin1(name)), name);
    }
  }

  void pttPickerAnswers() {
    {
      PttPickerDialog picker(0, nullptr);
      QCOMPARE(picker.entry()->text(), QStringLiteral("COM0"));
      picker.list()->setCurrentRow(5);
      QCOMPARE(picker.entry()->text(), QStringLiteral("COM5"));
      ButtonCalled(&picker, QStringLiteral("Accept"))->click();
      QCOMPARE(picker.answer(), QStringLiteral("COM5"));
      QCOMPARE(picker.result(), int(QDialog::Accepted));
    }
    {
      PttPickerDialog picker(2, nullptr);
      picker.list()->setCurrentRow(0);
      ButtonCalled(&picker, QStringLiteral("Accept"))->click();
      QCOMPARE(picker.answer(), QStringLiteral("none"));
    }
    {
      PttPickerDialog picker(2, nullptr);
      picker.list()->setCurrentRow(7);
      ButtonCalled(&picker, QStringLiteral("Cancel"))->click();
      QVERIFY(picker.answer().isEmpty());
    }
    {
      PttPickerDialog picker(2, nullptr);
      ButtonCalled(&picker, QStringLiteral("Clear"))->click();
      QVERIFY(picker.entry()->text().isEmpty());
      ButtonCalled(&picker, QStringLiteral("Accept"))->click();
      QVERIFY(picker.answer().isEmpty());  // keeps the current port
    }
  }

  // Each method's page gives the settings it names; what cannot be used keeps the dialog
  // open and says what to put right.
  void pttMethodsAndWhatTheyNeed() {
    struct Case {
      vela::PttMethod method;
      std::vector<std::pair<const char*, QString>> fields;  // object name, text typed
      bool accepted;
      QString problem;
    };
    const Case cases[] = {
        {vela::PttMethod::SerialDtrRts, {{"answer", "/dev/ttyUSB3"}}, true, {}},
        {vela::PttMethod::Cat, {{"catdevice", "/dev/ttyACM0"}, {"offset", "-10000000"}}, true, {}},
        {vela::PttMethod::Cat, {{"catdevice", ""}}, false, "CAT port"},
        {vela::PttMethod::Rigctld,
         {{"host", "shack-pc"}, {"port", "4533"}, {"txlimit", "10"}},
         true,
         {}},
        {vela::PttMethod::Rigctld, {{"port", "45x3"}}, false, "1 to 65535"},
        {vela::PttMethod::Cm108, {{"hidraw", "/dev/hidraw2"}}, true, {}},
        {vela::PttMethod::Cm108, {{"hidraw", ""}}, false, "hidraw"},
        {vela::PttMethod::Vox, {{"offset", "12.5"}}, false, "whole number"},
        {vela::PttMethod::Vox, {}, true, {}},
    };
    for (const Case& c : cases) {
      vela::RigSettings current;
      current.rigModel = 1;  // Hamlib's dummy rig, so CAT has a model chosen
      current.comPort = 2;
      PttPickerDialog dialog(current, nullptr);
      dialog.method()->setCurrentIndex(dialog.method()->findData(static_cast<int>(c.method)));
      for (const auto& [name, text] : c.fields) {
        QWidget* field = dialog.findChild<QWidget*>(QString::fromLatin1(name));
        QVERIFY2(field, name);
        if (auto* line = qobject_cast<QLineEdit*>(field)) line->setText(text);
        if (auto* box = qobject_cast<QComboBox*>(field)) box->setCurrentText(text);
        if (auto* spin = qobject_cast<QSpinBox*>(field)) spin->setValue(text.toInt());
      }
      ButtonCalled(&dialog, QStringLiteral("Accept"))->click();
      QCOMPARE(dialog.chosen().has_value(), c.accepted);
      if (!c.accepted) {
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("problem"))->text().contains(c.problem));
        continue;
      }
      const vela::RigSettings& s = *dialog.chosen();
      QCOMPARE(s.method, c.method);
      QCOMPARE(s.comPort, 2);  // the COM number is kept whatever the method
      for (const auto& [name, text] : c.fields) {
        const std::string field = name;
        const std::string t = text.toStdString();
        if (field == "answer") QCOMPARE(s.pttSerialDevice, t);
        if (field == "catdevice") QCOMPARE(s.catDevice, t);
        if (field == "offset") QCOMPARE(s.converterOffsetHz, std::stoll(t));
        if (field == "host") QCOMPARE(s.host, t);
        if (field == "port") QCOMPARE(s.port, std::stoi(t));
        if (field == "hidraw") QCOMPARE(s.hidrawDevice, t);
        if (field == "txlimit") QCOMPARE(s.txLimitMinutes, std::stoi(t));
      }
    }
  }

  void outputModeDialog() {
    OutputModeDialog dialog(1);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Output"));
    auto* mono = dialog.findChild<QRadioButton*>(QStringLiteral("c9991"));
    auto* iq = dialog.findChild<QRadioButton*>(QStringLiteral("c9992"));
    QVERIFY(mono && iq);
    QCOMPARE(mono->text(), QStringLiteral("Mono"));
    QCOMPARE(iq->text(), QStringLiteral("I and Q"));
    QVERIFY(iq->isChecked());
    QSignalSpy chosen(&dialog, &OutputModeDialog::modeChosen);
    mono->click();
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen[0][0].toInt(), 0);
    QCOMPARE(dialog.mode(), 0);
    QVERIFY(!iq->isChecked());
    OutputModeDialog monoFirst(0);
    QVERIFY(monoFirst.findChild<QRadioButton*>(QStringLiteral("c9991"))->isChecked());
  }

  void soundcardDialogLayout() {
    SoundcardDialog dialog({QStringLiteral("default"), QStringLiteral("USB Audio CODEC")}, 0);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Select soundcard"));
    QCOMPARE(dialog.size(), QSize(247, 30));
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("c1300"));
    auto* select = dialog.findChild<QPushButton*>(QStringLiteral("c4321"));
    QVERIFY(combo && select);
    QCOMPARE(combo->pos(), QPoint(1, 2));
    QCOMPARE(combo->width(), 180);
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(1), QStringLiteral("USB Audio CODEC"));
    QCOMPARE(select->text(), QStringLiteral("Select"));
    QCOMPARE(select->geometry(), QRect(190, 1, 50, 23));
    QCOMPARE(dialog.chosen(), -1);
    combo->setCurrentIndex(1);
    select->click();
    QCOMPARE(dialog.chosen(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }

  void aboutBox() {
    AboutDialog about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About VELA"));
    QCOMPARE(about.palette().color(QPalette::Window), QColor(159, 220, 220));
    auto* title = about.findChild<QLabel*>(QStringLiteral("c10001"));
    auto* body = about.findChild<QLabel*>(QStringLiteral("c10002"));
    QVERIFY(title && body);
    QCOMPARE(title->text(), QStringLiteral("VELA Terminal (beta version)"));
    QCOMPARE(title->font().pointSize(), 14);
    const QStringList lines = AboutDialog::AboutText().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 13);  // twelve lines, each ended by CR LF
    QCOMPARE(lines[2], QString());
    QCOMPARE(lines[3],
             QStringLiteral("Varicode is PSK31 varicode with secondary characters > ascii 255"));
    QCOMPARE(lines[6],
             QStringLiteral("Sync is derived from correlation of 31 bit STANAG 4285 PN sequence"));
    QCOMPARE(lines[9], QStringLiteral("Version 1.0 Build 22.08.10"));
    QCOMPARE(lines[10], QStringLiteral("This version:August 2010"));
    QVERIFY(body->text().contains(QStringLiteral("NASA K=7")));
  }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
