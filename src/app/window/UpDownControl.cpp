#include "app/window/UpDownControl.h"

#include <QKeyEvent>
#include <QToolButton>

namespace vela::app {

UpDownControl::UpDownControl(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  setFocusPolicy(Qt::StrongFocus);
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(8, 8));
  }
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  up_->setObjectName(QStringLiteral("up"));
  down_->setObjectName(QStringLiteral("down"));
  connect(up_, &QToolButton::clicked, this, [this] { emit stepped(-1); });
  connect(down_, &QToolButton::clicked, this, [this] { emit stepped(1); });
}

void UpDownControl::resizeEvent(QResizeEvent* event) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
  QWidget::resizeEvent(event);
}

void UpDownControl::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Up) {
    emit stepped(-1);
  } else if (event->key() == Qt::Key_Down) {
    emit stepped(1);
  } else {
    QWidget::keyPressEvent(event);
  }
}

}  // namespace vela::app
