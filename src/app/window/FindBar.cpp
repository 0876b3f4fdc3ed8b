#include "app/window/FindBar.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

#include "app/window/Panes.h"

namespace vela::app {

namespace {

QToolButton* Button(const QString& text, const QString& tip, QWidget* parent) {
  auto* b = new QToolButton(parent);
  b->setText(text);
  b->setToolTip(tip);
  b->setAutoRaise(true);
  return b;
}

}  // namespace

FindBar::FindBar(QTextEdit& pane, QWidget& window)
    : QWidget(&pane), pane_(pane), field_(new QLineEdit(this)), tally_(new QLabel(this)) {
  setObjectName(QStringLiteral("findBar"));
  setAutoFillBackground(true);
  field_->setPlaceholderText(QStringLiteral("Find"));
  field_->setClearButtonEnabled(true);
  field_->setMinimumWidth(140);
  field_->installEventFilter(this);
  QToolButton* up =
      Button(QStringLiteral("\u25B2"), QStringLiteral("Previous (Shift+Enter)"), this);
  QToolButton* down = Button(QStringLiteral("\u25BC"), QStringLiteral("Next (Enter)"), this);
  QToolButton* close = Button(QStringLiteral("\u2715"), QStringLiteral("Close (Esc)"), this);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 2, 2, 2);
  row->setSpacing(2);
  row->addWidget(field_);
  row->addWidget(tally_);
  row->addWidget(up);
  row->addWidget(down);
  row->addWidget(close);
  connect(field_, &QLineEdit::textChanged, this, &FindBar::Search);
  connect(up, &QToolButton::clicked, this, [this] { Next(true); });
  connect(down, &QToolButton::clicked, this, [this] { Next(false); });
  connect(close, &QToolButton::clicked, this, &FindBar::Close);
  auto* find = new QShortcut(QKeySequence::Find, &window);
  find->setObjectName(QStringLiteral("findShortcut"));
  find->setContext(Qt::WindowShortcut);
  connect(find, &QShortcut::activated, this, &FindBar::Open);
  // New copy comes a character at a time: the places are looked for again once it rests.
  again_.setSingleShot(true);
  again_.setInterval(300);
  connect(&again_, &QTimer::timeout, this, &FindBar::Light);
  connect(pane_.document(), &QTextDocument::contentsChanged, this, [this] {
    if (isVisible() && !field_->text().isEmpty()) again_.start();
  });
  pane_.installEventFilter(this);
  hide();
}

void FindBar::Open() {
  if (!isVisible()) {
    before_ = QApplication::focusWidget();
    HoldView(pane_, true);
    Place();
    show();
    raise();
    if (!field_->text().isEmpty()) Search();
  }
  field_->setFocus();
  field_->selectAll();
}

void FindBar::Close() {
  if (!isVisible()) return;
  hide();
  again_.stop();
  lit_.clear();
  at_ = QTextCursor();
  pane_.setExtraSelections({});
  HoldView(pane_, false);
  // Back to following the newest copy.
  QTextCursor end(pane_.document());
  end.movePosition(QTextCursor::End);
  pane_.setTextCursor(end);
  pane_.ensureCursorVisible();
  if (before_) before_->setFocus();
}

int FindBar::shown() const {
  for (int i = 0; i < lit_.size(); ++i) {
    if (!at_.isNull() && lit_[i].selectionStart() == at_.selectionStart()) return i + 1;
  }
  return 0;
}

void FindBar::Search() {
  at_ = QTextCursor();
  Light();
  // The newest place first: the copy the operator is most likely after.
  if (!lit_.isEmpty()) Show(lit_.back());
}

// Every place the words are copied, by a search of the whole pane (case ignored).
void FindBar::Light() {
  lit_.clear();
  const QString words = field_->text();
  if (!words.isEmpty()) {
    QTextCursor found = pane_.document()->find(words, 0);
    while (!found.isNull() && lit_.size() < kMostLit) {
      lit_.push_back(found);
      found = pane_.document()->find(words, found);
    }
  }
  QList<QTextEdit::ExtraSelection> marks;
  for (const QTextCursor& c : std::as_const(lit_)) {
    const bool current = !at_.isNull() && c.selectionStart() == at_.selectionStart();
    QTextEdit::ExtraSelection mark;
    mark.cursor = c;
    mark.format.setBackground(current ? QColor(255, 150, 50) : QColor(255, 240, 120));
    marks.push_back(mark);
  }
  pane_.setExtraSelections(marks);
  const int n = count();
  tally_->setText(words.isEmpty() ? QString()
                  : n == 0        ? QStringLiteral("not found")
                                  : QStringLiteral("%1 of %2").arg(shown()).arg(n));
  QPalette palette = field_->palette();
  palette.setColor(QPalette::Base, words.isEmpty() || n > 0
                                       ? QApplication::palette().color(QPalette::Base)
                                       : QColor(255, 200, 200));
  field_->setPalette(palette);
}

bool FindBar::Next(bool up) {
  Light();
  if (lit_.isEmpty()) return false;
  const int i = shown() - 1;  // -1 when none is shown: down starts at the top, up at the end
  const int n = count();
  const int next = i < 0 ? (up ? n - 1 : 0) : (i + (up ? n - 1 : 1)) % n;
  Show(lit_[next]);
  return true;
}

void FindBar::Show(const QTextCursor& at) {
  at_ = at;
  pane_.setTextCursor(at);
  pane_.ensureCursorVisible();
  Light();
}

void FindBar::Place() {
  adjustSize();
  const int right = pane_.viewport()->geometry().right();
  move(std::max(0, right - width()), pane_.viewport()->geometry().top());
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &pane_ && event->type() == QEvent::Resize && isVisible()) Place();
  if (watched == field_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
      Close();
      return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      Next(key->modifiers().testFlag(Qt::ShiftModifier));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace vela::app
