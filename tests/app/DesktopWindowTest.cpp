// The window as a desktop program shows it: panes that keep what was heard apart from
// what the operator types, captions that fit, a layout that uses a larger window, menus
// reachable from the keyboard, names for screen readers, the help page and the small
// dialogs' details.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <cmath>
#include <functional>

#include "app/dialogs/DialogPrompts.h"
#include "app/dialogs/Dialogs.h"
#include "app/window/GraphicControls.h"
#include "app/window/HelpWindow.h"
#include "app/window/MainWindow.h"
#include "app/window/StatusBar.h"
#include "support/ScriptedPrompts.h"

using vela::app::MainWindow;
using Misfits = QStringList;
using vela::app::Preferences;
using vela::test::ScriptedPrompts;

namespace {

// The room a control leaves its text, as the style draws it.
QRect TextRoom(QWidget* w) {
  QStyle* style = w->style();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    QStyleOptionButton option;
    option.initFrom(b);
    option.text = b->text();
    if (qobject_cast<QRadioButton*>(w))
      return style->subElementRect(QStyle::SE_RadioButtonContents, &option, w);
    if (qobject_cast<QCheckBox*>(w))
      return style->subElementRect(QStyle::SE_CheckBoxContents, &option, w);
    return style->subElementRect(QStyle::SE_PushButtonContents, &option, w);
  }
  auto* l = qobject_cast<QLabel*>(w);
  QRect room = l->contentsRect().adjusted(l->margin(), l->margin(), -l->margin(), -l->margin());
  int indent = l->indent();
  if (indent < 0 && l->frameWidth() > 0) indent = l->fontMetrics().horizontalAdvance(u'x') / 2;
  if (indent > 0)
    room.adjust(l->alignment() & Qt::AlignRight ? 0 : indent, 0,
                l->alignment() & Qt::AlignLeft ? 0 : -indent, 0);
  return room;
}

// Every text of `root`'s visible buttons and labels that does not fit where it is drawn,
// in the font it is drawn in; and a window title its frame would cut short.
Misfits CaptionsThatDoNotFit(QWidget* root) {
  Misfits misfits;
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    if (!w->isVisibleTo(root)) continue;
    QString text;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    if (auto* l = qobject_cast<QLabel*>(w); l && !l->wordWrap()) text = l->text();
    text.remove(u'&');
    if (text.isEmpty()) continue;
    const QFontMetrics metrics(w->font());
    const QRect room = TextRoom(w);
    const QStringList lines = text.split(u'\n');
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    const int tall = metrics.height() + (lines.size() - 1) * metrics.lineSpacing();
    if (widest > room.width() || tall > room.height() + 1) {
      misfits << QStringLiteral("%1 \"%2\": %3x%4 in %5x%6")
                     .arg(w->objectName(), text)
                     .arg(widest)
                     .arg(tall)
                     .arg(room.width())
                     .arg(room.height());
    }
  }
  // A title bar keeps room for its icon and three buttons beside the title.
  const int titleRoom = root->width() - 3 * 32 - 24;
  const QFontMetrics titleMetrics(QApplication::font("QMdiSubWindowTitleBar"));
  if (root->isWindow() && titleMetrics.horizontalAdvance(root->windowTitle()) > titleRoom) {
    misfits << QStringLiteral("title \"%1\" in %2").arg(root->windowTitle()).arg(titleRoom);
  }
  return misfits;
}

// Controls that overlap in pairs, or stick out of the client area or under the status bar.
// The sample-rate read-out sits under its trim arrows and the squelch bar by design.
QStringList Overlaps(MainWindow& window) {
  QStringList found;
  QList<QWidget*> controls;
  for (QWidget* w : window.clientArea()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (w->isVisible() && w->objectName().startsWith(u'c') && w->objectName() != "c9999") {
      controls << w;
    }
  }
  const QRect room(0, 0, window.clientArea()->width(), window.statusBarWidget()->y());
  const QSet<QString> designed = {"c3100 c3101", "c2001 c3100"};
  for (qsizetype i = 0; i < controls.size(); ++i) {
    if (!room.contains(controls[i]->geometry())) found << controls[i]->objectName() + " outside";
    for (qsizetype j = i + 1; j < controls.size(); ++j) {
      QStringList pair{controls[i]->objectName(), controls[j]->objectName()};
      pair.sort();
      if (controls[i]->geometry().intersects(controls[j]->geometry()) &&
          !designed.contains(pair.join(u' '))) {
        found << pair.join(QStringLiteral(" over "));
      }
    }
  }
  return found;
}

}  // namespace

class DesktopWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> window_;
  ScriptedPrompts* prompts_ = nullptr;

 private slots:
  void init() {
    auto prompts = std::make_unique<ScriptedPrompts>();
    prompts_ = prompts.get();
    window_ = std::make_unique<MainWindow>(Preferences::Defaults(), std::move(prompts));
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void cleanup() { window_.reset(); }

  // What was heard stays as it was heard: typing into either read-only pane lands in the
  // transmit pane, while looking, selecting and copying stay with the pane.
  void typingIntoTheReceivedPanesGoesToTheTransmitPane() {
    QPlainTextEdit* tx = window_->transmitPane();
    for (QTextEdit* pane : {window_->receivePane(), window_->secondaryPane()}) {
      tx->clear();
      window_->ShowReceivedChar('k', QColor(0, 128, 0));
      window_->ShowSecondaryChar('s');
      const QString heard = pane->toPlainText();
      QVERIFY(pane->isReadOnly());
      pane->setFocus();
      QTest::keyClicks(pane, QStringLiteral("yy y"));
      QTest::keyClick(tx, Qt::Key_Backspace);
      QTest::keyClicks(tx, QStringLiteral("y"));
      QCOMPARE(pane->toPlainText(), heard);
      QCOMPARE(tx->toPlainText(), QStringLiteral("yy y"));
      QCOMPARE(QApplication::focusWidget(), tx);

      pane->setFocus();
      QTest::keyClick(pane, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(pane, Qt::Key_End);
      QCOMPARE(QApplication::focusWidget(), pane);
      QCOMPARE(tx->toPlainText(), QStringLiteral("yy y"));
      // Paste from the pane's menu goes out, not into the copy.
      QApplication::clipboard()->setText(QStringLiteral(" de G4ABC"));
      pane->setFocus();
      window_->Command(9401);
      QCOMPARE(pane->toPlainText(), heard);
      QCOMPARE(tx->toPlainText(), QStringLiteral("yy y de G4ABC"));
    }
  }

  // Help works with no browser: the guide opens in the terminal's own window (the copy
  // built in, as nothing is installed here), once however often it is asked for.
  void helpOpensTheGuideInItsOwnWindow() {
    QCOMPARE(vela::app::HelpPagePath(), QStringLiteral(":/vela-terminal/velahelp.htm"));
    window_->Command(1700);
    auto* help = window_->findChild<vela::app::HelpWindow*>();
    QVERIFY(help);
    QVERIFY(QTest::qWaitForWindowExposed(help));
    QCOMPARE(help->windowTitle(), QStringLiteral("VELA Terminal - operating guide"));
    const QString guide = help->browser()->toPlainText();
    // Every menu item is told of, by its caption.
    for (QAction* item : window_->menuBar()->findChildren<QAction*>()) {
      if (item->menu() || item->isSeparator() || item->text().isEmpty()) continue;
      QString caption = item->text();
      caption.remove(u'&');
      QVERIFY2(guide.contains(caption), qPrintable(caption));
    }
    window_->Command(1700);
    QCOMPARE(window_->findChildren<vela::app::HelpWindow*>().size(), 1);
    // Esc closes it, as a dialog.
    QVERIFY(QTest::qWaitForWindowActive(help));
    QTest::keyClick(help->browser(), Qt::Key_Escape);
    QTRY_VERIFY(window_->findChildren<vela::app::HelpWindow*>().isEmpty());
  }

  // Every caption of the window and its dialogs, at the default size and in the fonts this
  // computer has: a renamed macro keeps its F-key and its whole label, and the clock fits.
  void everyCaptionFits() {
    window_->statusBarWidget()->part(6)->setText(
        QStringLiteral("30 September 2026 - 23:59:59 local time"));
    vela::app::MacroEntry station{QStringLiteral("Station details"), QStringLiteral("QTH")};
    window_->ApplyMacro(2, station);
    QCOMPARE(window_->control(9312)->property("caption").toString(),
             QStringLiteral("F3 Station details"));
    QCOMPARE(qobject_cast<QAbstractButton*>(window_->control(9312))->text().simplified(),
             QStringLiteral("F3 Station details"));
    Misfits misfits = CaptionsThatDoNotFit(window_.get());
    // SEND's other caption too.
    qobject_cast<QAbstractButton*>(window_->control(110))->setText(QStringLiteral("F9 Receive"));
    misfits << CaptionsThatDoNotFit(window_->clientArea());
    vela::app::OutputModeDialog output(0, window_.get());
    vela::app::SoundcardDialog soundcard({QStringLiteral("HDA Intel PCH: ALC3246 Analog (hw:0,0)")},
                                         0, window_.get());
    vela::app::MacroDialog macro(2, station, window_.get());
    vela::app::AboutDialog about(window_.get());
    for (QDialog* dialog : std::initializer_list<QDialog*>{&output, &soundcard, &macro, &about}) {
      dialog->show();
      QVERIFY(QTest::qWaitForWindowExposed(dialog));
      misfits << CaptionsThatDoNotFit(dialog);
      dialog->hide();
    }
    QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join(QStringLiteral("\n"))));
  }

  // A larger window gives the receive pane and the waterfall the room, with nothing
  // overlapping or cut off; the stretched waterfall still tunes where it is clicked.
  void aLargerWindowGoesToThePanesAndTheWaterfall() {
    QWidget* client = window_->clientArea();
    QVERIFY2(Overlaps(*window_).isEmpty(), qPrintable(Overlaps(*window_).join(u'\n')));
    const QSize pane = window_->receivePane()->size();
    const QSize waterfall = window_->waterfall()->size();
    for (QSize size : {QSize(900, 600), QSize(1280, 900), QSize(1920, 1040)}) {
      window_->resize(size);
      QTRY_COMPARE(client->width(), size.width());
      QVERIFY2(Overlaps(*window_).isEmpty(), qPrintable(Overlaps(*window_).join(u'\n')));
      const Misfits misfits = CaptionsThatDoNotFit(client);
      QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join(u'\n')));
      QVERIFY(window_->receivePane()->width() > pane.width());
      QVERIFY(window_->receivePane()->height() > pane.height());
      QVERIFY(window_->waterfall()->width() > waterfall.width());
      QVERIFY(window_->waterfall()->height() > waterfall.height());
      QCOMPARE(window_->transmitPane()->width(), window_->receivePane()->width());
      // 1000 Hz is design column 192.
      const double stretch = window_->waterfall()->width() / 465.0;
      QTest::mouseClick(window_->waterfall(), Qt::LeftButton, {},
                        QPoint(static_cast<int>(192.5 * stretch), 20));
      QVERIFY2(
          std::abs(static_cast<double>(window_->settings().rxCentreFrequency) - 1000.0) < 4,
          qPrintable(QString::number(static_cast<double>(window_->settings().rxCentreFrequency))));
    }
  }

  // The menus answer Alt and their letter, and every control has a name and a description
  // for a screen reader.
  void keyboardAndScreenReaders() {
    QTest::keyClick(window_.get(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QCOMPARE(QApplication::activePopupWidget()->objectName(), QStringLiteral("menu File"));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    for (QWidget* w : window_->clientArea()->findChildren<QWidget*>()) {
      if (!w->isVisible() || !w->objectName().startsWith(u'c')) continue;
      QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
      QVERIFY2(!w->accessibleDescription().isEmpty(), qPrintable(w->objectName()));
    }
  }

  // The small dialogs as the operator meets them: caption, place beside the window, always
  // on top, and their controls by id with their texts.
  void dialogDetails() {
    using vela::app::DialogUnits;
    struct Row {
      const char* what;
      std::function<QDialog*()> make;
      const char* title;
      QPoint at;  // from the window's corner, or on the screen for an unowned dialog
      bool onTop;
      std::vector<std::pair<int, QString>> controls;  // id and text
    };
    QWidget* owner = window_.get();
    const QString lines = QStringLiteral("[EOT]\nsk");
    const std::vector<Row> rows = {
        {"delayed receive",
         [&] {
           return new vela::app::TextBoxDialog(vela::app::TextBox::DelayedReceive, lines, owner);
         },
         "Delayed receive text",
         DialogUnits(100, 50),
         true,
         {{11006, lines}, {11007, "OK"}, {11008, "CANCEL"}}},
        {"secondary text",
         [&] {
           return new vela::app::TextBoxDialog(vela::app::TextBox::SecondaryText, "G4ABC IO91",
                                               owner);
         },
         "Secondary channel text",
         DialogUnits(100, 50),
         true,
         {{10006, "G4ABC IO91"}, {10007, "OK"}, {10008, "CANCEL"}}},
        {"macro",
         [&] {
           return new vela::app::MacroDialog(0, {"CQ", "cq de g4abc"}, owner);
         },
         "Define macro button 1 (F1)",
         DialogUnits(100, 100),
         true,
         {{10001, "Button label"},
          {10000, "Macro text"},
          {10002, "CQ"},
          {10003, "cq de g4abc"},
          {10004, "OK"},
          {10005, "CANCEL"}}},
        {"output",
         [&] { return new vela::app::OutputModeDialog(1, owner); },
         "Output",
         DialogUnits(100, 100),
         true,
         {{9991, "Mono"}, {9992, "I and Q"}}},
        {"about",
         [&] { return new vela::app::AboutDialog(owner); },
         "About VELA",
         DialogUnits(100, 50),
         false,
         {{10001, "VELA Terminal (beta version)"}}},
    };
    const QPoint corner = window_->mapToGlobal(QPoint(0, 0));
    for (const Row& row : rows) {
      std::unique_ptr<QDialog> dialog(row.make());
      dialog->show();
      QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
      QCOMPARE(dialog->windowTitle(), QString::fromLatin1(row.title));
      QCOMPARE(dialog->pos() - corner, row.at);
      QCOMPARE(bool(dialog->windowFlags() & Qt::WindowStaysOnTopHint), row.onTop);
      QVERIFY(!dialog->windowIcon().isNull());
      for (const auto& [id, text] : row.controls) {
        QWidget* c = dialog->findChild<QWidget*>(QStringLiteral("c%1").arg(id));
        QVERIFY2(c, qPrintable(QStringLiteral("%1: no %2").arg(row.what).arg(id)));
        QString shown;
        if (auto* b = qobject_cast<QAbstractButton*>(c)) shown = b->text();
        if (auto* l = qobject_cast<QLabel*>(c)) shown = l->text();
        if (auto* e = qobject_cast<QLineEdit*>(c)) shown = e->text();
        if (auto* e = qobject_cast<QPlainTextEdit*>(c)) shown = e->toPlainText();
        QCOMPARE(shown, text);
      }
      const Misfits misfits = CaptionsThatDoNotFit(dialog.get());
      QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join(u'\n')));
    }

    // The two text boxes take several lines, Return included, and hand them back on OK.
    vela::app::TextBoxDialog secondary(vela::app::TextBox::SecondaryText, QString(), owner);
    secondary.show();
    auto* box = secondary.findChild<QPlainTextEdit*>(QStringLiteral("c10006"));
    QTest::keyClicks(box, QStringLiteral("G4ABC"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, QStringLiteral("IO91"));
    QVERIFY(secondary.isVisible());
    secondary.findChild<QAbstractButton*>(QStringLiteral("c10007"))->click();
    QCOMPARE(secondary.result(), int{QDialog::Accepted});
    QCOMPARE(secondary.text(), QStringLiteral("G4ABC\nIO91"));

    // The card chooser as the program opens it: an unowned tool window at (100, 100) on the
    // screen; with no devices it warns and stays open, empty.
    QString warning;
    QPoint at;
    bool stayedOpen = false;
    int entries = -1;
    int looks = 0;
    std::function<void()> watch = [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        warning = box->windowTitle() + u'|' + box->text() + u'|' + QString::number(box->icon());
        box->accept();
      } else if (auto* card = qobject_cast<vela::app::SoundcardDialog*>(modal);
                 card && (!warning.isEmpty() || ++looks > 100)) {
        at = card->pos();
        stayedOpen = card->isVisible() && (card->windowFlags() & Qt::Tool) == Qt::Tool;
        entries = card->combo()->count();
        card->reject();
        return;
      }
      QTimer::singleShot(20, watch);
    };
    QTimer::singleShot(0, watch);
    QCOMPARE(vela::app::DialogPrompts(window_.get()).AskCaptureDevice({}), -1);
    QCOMPARE(
        warning,
        QStringLiteral("Warning|You have no audio input devices!|%1").arg(QMessageBox::Warning));
    QCOMPARE(at, QPoint(100, 100));
    QVERIFY(stayedOpen);
    QCOMPARE(entries, 0);
    window_->Command(3000);

    // A whole repaint writes the tune note over a CWID note in status part 3.
    window_->SetStatusPart(3, QStringLiteral("CWID ON"));
    window_->SetStatusPart(4, QStringLiteral("stale"));
    window_->clientArea()->repaint();
    QCOMPARE(window_->statusPart(3), QStringLiteral("Tune signal OFF"));
    QCOMPARE(window_->statusPart(4), QStringLiteral("Beacon mode OFF"));
    QCOMPARE(window_->statusPart(5), QStringLiteral("7.8 baud; Short interleave"));
  }
};

QTEST_MAIN(DesktopWindowTest)
#include "DesktopWindowTest.moc"
