#include "app/ClientArea.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QSlider>
#include <QTextEdit>

#include "app/CaptionFit.h"
#include "app/Commands.h"
#include "app/Dialogs.h"
#include "app/GraphicControls.h"
#include "app/Panes.h"
#include "app/StatusBar.h"
#include "app/UpDownControl.h"
#include "app/WindowArithmetic.h"

namespace vela::app {

namespace {

// Where the trim arrows sit once laid out: over the read-out's left edge.
constexpr int kTrimLaidOutX = 610;

QFont SmallFont(int points) {
  QFont font(QStringLiteral("Small Fonts"));
  font.setFamilies({QStringLiteral("Small Fonts"), QStringLiteral("DejaVu Sans"),
                    QStringLiteral("Liberation Sans"), QStringLiteral("Sans Serif")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(points);
  return font;
}

QString Caption(CommandId id) {
  return QString::fromLatin1(Entry(id).caption);
}

}  // namespace

ClientArea::ClientArea(const std::array<MacroEntry, Preferences::kMacroCount>& macros,
                       QWidget* parent)
    : QWidget(parent) {
  setObjectName(QStringLiteral("client"));
  // The classic dialog font: the control sizes were chosen for it.
  setFont(DialogFont());
  BuildDisplays();
  controls_.cwIdButton =
      AddCommandButton(CommandId::CwId, Caption(CommandId::CwId), {668, 322, 58, 25});
  BuildModeButtons();
  BuildPanes();
  BuildTuning();
  BuildTransmitButtons(macros);
  ConnectContextHelp();
  controls_.statusBar = new StatusBar(this);
}

void ClientArea::Place(QWidget* widget, int id, QRect design, bool followsOffset) {
  widget->setObjectName(QStringLiteral("c%1").arg(id));
  widget->setGeometry(design);
  placements_.push_back({widget, design, followsOffset});
}

void ClientArea::AddLabel(const QString& text, int id, QRect design) {
  auto* label = new QLabel(text, this);
  Place(label, id, design);
  FitLabel(*label, text);
}

QPushButton* ClientArea::AddCommandButton(CommandId command, const QString& caption, QRect design) {
  const int id = CommandNumber(command);
  auto* button = new QPushButton(this);
  Place(button, id, design);
  SetFittedCaption(*button, caption);
  // Buttons do not take the focus from the transmit pane when clicked.
  button->setFocusPolicy(Qt::TabFocus);
  connect(button, &QPushButton::clicked, this, [this, id] { emit commandClicked(id); });
  return button;
}

void ClientArea::BuildDisplays() {
  WindowControls& c = controls_;
  c.eye = new EyeDiagramView(this);
  Place(c.eye, 300, {468, 350, 128, 65});
  c.eye->setToolTip(QStringLiteral("Eye diagram"));
  c.levelBar = new LevelBarView(this);
  Place(c.levelBar, 3910, {702, 350, 20, 100});
  AddLabel(QStringLiteral("S/N"), 9320, {702, 452, 20, 14});
  c.squelchBar = new SquelchBarView(this);
  Place(c.squelchBar, 2001, {676, 350, 20, 100});
  AddLabel(QStringLiteral("SQL"), 9321, {675, 452, 20, 14});
  c.scale = new FrequencyScaleView(this);
  c.scale->setFont(SmallFont(6));
  Place(c.scale, 330, {0, 350, 465, 15});
  c.waterfall = new WaterfallView(this);
  Place(c.waterfall, 5100, {0, 365, 465, 102});
}

void ClientArea::BuildModeButtons() {
  controls_.modeGroup = new QButtonGroup(this);
  for (int i = 0; i < 4; ++i) {
    const CommandId id = ModeCommand(static_cast<Mode>(i));
    auto* button = new QRadioButton(this);
    Place(button, CommandNumber(id), {607, 350 + 15 * i, 65, 15});
    SetFittedCaption(*button, Caption(id));
    controls_.modeGroup->addButton(button, CommandNumber(id));
    controls_.modeButtons[i] = button;
  }
  controls_.modeButtons[static_cast<int>(Mode::Vela63)]->setChecked(true);
  connect(controls_.modeGroup, &QButtonGroup::idClicked, this, &ClientArea::commandClicked);
}

void ClientArea::BuildPanes() {
  controls_.receivePane = MakeReceivePane(this);
  Place(controls_.receivePane, kReceivePaneId, {1, 1, 720, 238}, false);
  controls_.secondaryPane = MakeSecondaryPane(this);
  Place(controls_.secondaryPane, 1004, {1, 241, 720, 20});
  controls_.transmitPane = MakeTransmitPane(this);
  Place(controls_.transmitPane, 1001, {3, 264, 720, 57});
  PassTypingOn(*controls_.receivePane, *controls_.transmitPane);
  PassTypingOn(*controls_.secondaryPane, *controls_.transmitPane);
}

void ClientArea::BuildTuning() {
  WindowControls& c = controls_;
  c.fineTune = new QSlider(Qt::Horizontal, this);
  c.fineTune->setRange(0, kFineTuneRange);
  c.fineTune->setValue(kFineTuneCentre);
  c.fineTune->setTickPosition(QSlider::NoTicks);
  c.fineTune->setTracking(true);
  c.fineTune->setToolTip(QStringLiteral("Fine tune"));
  Place(c.fineTune, 1500, {468, 420, 127, 27});
  AddLabel(QStringLiteral("Fine tune"), 9322, {510, 452, 60, 14});

  c.sampleRate = new QLabel(this);
  c.sampleRate->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // The trim arrows cover the read-out's left edge and the squelch bar its right edge.
  c.sampleRate->setAlignment(Qt::AlignCenter);
  c.sampleRate->setContentsMargins(6, 0, 8, 0);
  Place(c.sampleRate, 3100, {624, 420, 60, 27});
  c.sampleRateTrim = new UpDownControl(this);
  c.sampleRateTrim->setToolTip(QStringLiteral("Adjust sanple rate"));
  Place(c.sampleRateTrim, 3101, {620, 420, 20, 30});
  c.sampleRateTrim->raise();
  AddLabel(QStringLiteral("Sample Rate"), 9323, {606, 452, 62, 14});
}

void ClientArea::BuildTransmitButtons(
    const std::array<MacroEntry, Preferences::kMacroCount>& macros) {
  WindowControls& c = controls_;
  for (int i = 0; i < 8; ++i) {
    c.macroButtons[i] =
        AddCommandButton(MacroCommand(i), MacroCaption(i, macros[i].label), {62 * i, 322, 62, 25});
    c.macroButtons[i]->setToolTip(QStringLiteral("Right mouse click to personalise"));
  }
  c.sendButton = AddCommandButton(CommandId::Send, Caption(CommandId::Send), {511, 322, 67, 25});
  c.sendButton->setToolTip(QStringLiteral("SEND button"));
  c.delayedReceiveButton = AddCommandButton(CommandId::DelayedReceive,
                                            Caption(CommandId::DelayedReceive), {588, 322, 67, 25});
  c.delayedReceiveButton->setToolTip(
      QStringLiteral("DELAYED RECEIVE button - Right mouse click to change EOT parameter"));
}

void ClientArea::ConnectContextHelp() {
  const WindowControls& c = controls_;
  std::vector<QWidget*> carriers(c.macroButtons.begin(), c.macroButtons.end());
  carriers.insert(carriers.end(), {c.sendButton, c.delayedReceiveButton, c.fineTune,
                                   c.sampleRateTrim, c.eye, c.receivePane});
  for (QWidget* w : carriers) {
    const int id = w->objectName().mid(1).toInt();
    w->setProperty("contextHelpId", id);
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w, &QWidget::customContextMenuRequested, this, [this, w, id](const QPoint& pos) {
      QWidget* origin = w;
      if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) origin = area->viewport();
      emit contextHelpRequested(id, origin->mapToGlobal(pos));
    });
  }
}

QWidget* ClientArea::control(int id) const {
  return findChild<QWidget*>(QStringLiteral("c%1").arg(id));
}

void ClientArea::resizeEvent(QResizeEvent* event) {
  Relayout(event->size().height());
  QWidget::resizeEvent(event);
}

void ClientArea::Relayout(int clientHeight) {
  layoutOffset_ = LayoutOffset(clientHeight);
  for (const Placement& p : placements_) {
    QRect r = p.design;
    if (p.widget == controls_.receivePane) {
      r.setHeight(std::max(0, p.design.height() + layoutOffset_));
    } else if (p.followsOffset) {
      r.moveTop(p.design.y() + layoutOffset_);
      if (p.widget == controls_.sampleRateTrim) r.moveLeft(kTrimLaidOutX);
    }
    p.widget->setGeometry(r);
    if (auto* button = qobject_cast<QAbstractButton*>(p.widget)) FitCaption(*button);
  }
  if (controls_.statusBar) {
    const int h = controls_.statusBar->sizeHint().height();
    controls_.statusBar->setGeometry(0, clientHeight - h, width(), h);
  }
  update();
}

}  // namespace vela::app
