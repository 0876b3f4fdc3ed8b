// Find in the receive pane: Ctrl+F opens a small bar in the pane's top right corner; typing
// finds the newest place the words were copied, Enter the next one down and Shift+Enter the
// next one up (round at the ends), every place they were copied is highlighted, and Escape
// puts the bar away. While it is open the pane stays where the operator looks, the new copy
// going on below; closed, the pane follows the newest copy again. (F3 stays the macro key.)
#pragma once

#include <QPointer>
#include <QTextCursor>
#include <QTimer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTextEdit;

namespace vela::app {

class FindBar : public QWidget {
  Q_OBJECT
 public:
  // Places lit at most: enough for any word worth finding, and bounded on a long evening.
  static constexpr int kMostLit = 2000;

  FindBar(QTextEdit& pane, QWidget& window);

  void Open();
  void Close();
  // The next place down (or up) from the one shown, round at the ends; false when none.
  bool Next(bool up = false);

  QLineEdit* field() const { return field_; }
  // The places the words are copied and which of them is shown (1 the first), 0 none.
  int count() const { return static_cast<int>(lit_.size()); }
  int shown() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Search();
  void Light();
  void Show(const QTextCursor& at);
  void Place();

  QTextEdit& pane_;
  QLineEdit* field_;
  QLabel* tally_;
  QList<QTextCursor> lit_;
  QTextCursor at_;
  QPointer<QWidget> before_;  // where the keyboard was before
  QTimer again_;              // the copy has grown: the places lit anew
};

}  // namespace vela::app
