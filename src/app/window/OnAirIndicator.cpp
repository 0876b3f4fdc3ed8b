#include "app/window/OnAirIndicator.h"

#include <QMenuBar>

namespace vela::app {

OnAirIndicator::OnAirIndicator(QMenuBar* bar) : QLabel(bar) {
  setObjectName(QStringLiteral("onair"));
  setAccessibleName(QStringLiteral("On air"));
  setStyleSheet(QStringLiteral(
      "QLabel { background: rgb(220, 0, 0); color: white; font-weight: bold; padding: 0 6px; }"));
  hide();
  bar->setCornerWidget(this, Qt::TopRightCorner);
}

void OnAirIndicator::Show(const TransmitState& state) {
  if (!state.onAir()) {
    hide();
    return;
  }
  // While an over's or the identifier's tail plays out nothing is switched on: the last
  // words stay.
  QString what;
  if (state.tuning()) what = QStringLiteral("tune");
  if (state.identifying()) what = QStringLiteral("CWID");
  if (state.sending()) what = state.beacon ? QStringLiteral("beacon") : QStringLiteral("text");
  if (!what.isEmpty()) setText(QStringLiteral("ON AIR: ") + what);
  if (text().isEmpty()) setText(QStringLiteral("ON AIR"));
  show();
}

}  // namespace vela::app
