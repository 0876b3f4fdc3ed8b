// Help > Help: the operating guide in a window of the terminal's own, so help is there on
// a station computer with no web browser set up.
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace vela::app {

// The guide as installed (beside the program, in the data folder, or in the current
// folder); the copy built into the program when none is found.
QString HelpPagePath();

class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* owner);

  // The owner's one help window, opened or brought to the front.
  static HelpWindow* ShowFor(QWidget* owner);
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

}  // namespace vela::app
