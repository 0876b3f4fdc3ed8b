// The window as a desktop program shows it: panes that keep what was heard apart from
// what the operator types, captions that fit, a layout that uses a larger window, menus
// reachable from the keyboard, names for screen readers, the help page and the small
// dialogs' details.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>

#include "app/HelpWindow.h"
#include "app/MainWindow.h"
#include "support/ScriptedPrompts.h"

using vela::app::MainWindow;
using vela::app::Preferences;
using vela::test::ScriptedPrompts;

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
  }
};

QTEST_MAIN(DesktopWindowTest)
#include "DesktopWindowTest.moc"
