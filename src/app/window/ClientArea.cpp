#include "app/window/ClientArea.h"

#include <QButtonGroup>
#include <QCursor>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QSlider>
#include <QTextEdit>

#include "app/dialogs/Dialogs.h"
#include "app/window/CaptionFit.h"
#include "app/window/Commands.h"
#include "app/window/GraphicControls.h"
#include "app/window/Panes.h"
#include "app/window/StatusBar.h"
#include "app/window/UpDownControl.h"
#include "app/window/WindowArithmetic.h"

namespace vela::app {

namespace {

// Where the trim arrows sit once laid out: over the read-out's left edge.
constexpr int kTrimLaidOutX = 610;
// Controls from here rightwards (SEND and the displays' right-hand block) keep to the
// window's right edge as it widens.
constexpr int kRightBlockX = 466;
constexpr int kMacroWidth = 62;
// Controls from here downwards sit under the transmit pane and move with its growth.
constexpr int kUnderTransmitPaneY = 322;

QFont SmallFont(int points) {
  QFont font(QStringLiteral("Small Fonts"));
  font.setFamilies({QStringLiteral("Small Fonts"), QStringLiteral("DejaVu Sans"),
                    QStringLiteral("Liberation Sans"), QStringLiteral("Sans Serif")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(points);
  return font;
}

// What a screen reader says of each control: its name (empty: its caption) and what it
// does.
struct Description {
  int id;
  const char* name;
  const char* description;
};

constexpr Description kDescriptions[] = {
    {300, "Eye diagram", "The demodulated signal, symbol by symbol: an open eye decodes well"},
    {3910, "Signal to noise", "Bar: the received signal's strength over the noise"},
    {9320, "", "Label of the signal-to-noise bar"},
    {2001, "Squelch", "Bar: sync confidence, with the squelch level as a line; click to set it"},
    {9321, "", "Label of the squelch bar"},
    {330, "Frequency scale", "Hertz over the waterfall, with the receive and transmit marks"},
    {5100, "Waterfall",
     "Received spectrum; left click receives there, right click transmits there, the wheel "
     "zooms"},
    {699, "", "Sends the callsign in Morse"},
    {3000, "", "7.8 baud, short interleave"},
    {3001, "", "31 baud, short interleave"},
    {3002, "", "63 baud, long interleave"},
    {3003, "", "125 baud, long interleave"},
    {320, "Receive pane", "Text as received; typing here goes to the transmit pane"},
    {1004, "Secondary channel", "The slow second channel as received, usually a callsign"},
    {1001, "Transmit pane", "Text to send; typed during a transmission it is sent as well"},
    {1500, "Fine tune", "Moves the receive frequency a little either side of the clicked one"},
    {9322, "", "Label of the fine-tune slider"},
    {3100, "Sample rate", "The receive sample rate in hertz"},
    {3101, "Adjust sample rate", "Trims the receive sample rate by 0.1 Hz a step"},
    {9323, "", "Label of the sample-rate read-out"},
    {110, "", "Starts or stops sending the transmit pane"},
    {9319, "", "Delayed receive: adds the end marker; right-click to change it"},
};

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
  DescribeControls();
}

void ClientArea::DescribeControls() {
  for (const Description& d : kDescriptions) {
    QWidget* w = control(d.id);
    if (*d.name != 0) w->setAccessibleName(QString::fromLatin1(d.name));
    w->setAccessibleDescription(QString::fromLatin1(d.description));
  }
  for (QPushButton* b : controls_.macroButtons) {
    b->setAccessibleDescription(
        QStringLiteral("Macro: adds its text to the transmit pane; right-click to change it"));
  }
}

void ClientArea::Place(QWidget* widget, int id, QRect design, bool followsOffset) {
  widget->setObjectName(QStringLiteral("c%1").arg(id));
  widget->setGeometry(design);
  Anchor anchor = design.x() >= kRightBlockX ? Anchor::Right : Anchor::Left;
  if (id == kReceivePaneId || id == 1004 || id == 1001 || id == 330 || id == 5100) {
    anchor = Anchor::Stretch;
  }
  if (CommandEntry const* e = FindCommand(id); e && e->site == CommandSite::MacroButton) {
    anchor = Anchor::MacroRow;
  }
  placements_.push_back({widget, design, followsOffset, anchor});
}

void ClientArea::AddLabel(const QString& text, int id, QRect design) {
  auto* label = new QLabel(text, this);
  label->setAccessibleName(text);
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
  // The scale follows the waterfall's span; a right-click on it opens the waterfall's menu.
  connect(c.waterfall, &WaterfallView::axisChanged, c.scale, &FrequencyScaleView::SetAxis);
  connect(c.scale, &GraphicControl::rightClicked, c.waterfall,
          [w = c.waterfall] { w->menu()->popup(QCursor::pos()); });
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
  Relayout(event->size());
  QWidget::resizeEvent(event);
}

QRect ClientArea::LaidOut(const Placement& p, const HeightShares& grow, int widthGrow) const {
  QRect r = p.design;
  if (p.widget == controls_.receivePane) {
    r.setHeight(std::max(0, r.height() + grow.receivePane));
  } else if (p.followsOffset) {
    // What lies under the transmit pane moves down by its growth as well.
    r.translate(0, grow.receivePane + (r.top() >= kUnderTransmitPaneY ? grow.transmitPane : 0));
    if (p.widget == controls_.sampleRateTrim) r.moveLeft(kTrimLaidOutX);
  }
  if (p.widget == controls_.transmitPane) r.setHeight(r.height() + grow.transmitPane);
  if (p.widget == controls_.waterfall) r.setHeight(r.height() + grow.waterfall);
  switch (p.anchor) {
    case Anchor::Left:
      break;
    case Anchor::Stretch:
      r.setWidth(r.width() + widthGrow);
      break;
    case Anchor::MacroRow: {
      // The eight macro buttons share the row's extra width, so longer labels fit.
      const int i = r.x() / kMacroWidth;
      const int left = r.x() + i * widthGrow / 8;
      const int right = r.x() + kMacroWidth + (i + 1) * widthGrow / 8;
      r.setLeft(left);
      r.setRight(right - 1);
      break;
    }
    case Anchor::Right:
      r.translate(widthGrow, 0);
      break;
  }
  return r;
}

void ClientArea::Relayout(QSize client) {
  layoutOffset_ = LayoutOffset(client.height());
  // Height is shared between the panes and the waterfall (ShareHeight); width beyond the
  // design goes to the panes, the waterfall and the macro row.
  const HeightShares grow = ShareHeight(client.height());
  const int widthGrow = std::max(0, client.width() - kDesignWidth);
  for (const Placement& p : placements_) {
    p.widget->setGeometry(LaidOut(p, grow, widthGrow));
    if (auto* button = qobject_cast<QAbstractButton*>(p.widget)) FitCaption(*button);
  }
  if (controls_.statusBar) {
    const int h = controls_.statusBar->sizeHint().height();
    controls_.statusBar->setGeometry(0, client.height() - h, width(), h);
  }
  update();
}

}  // namespace vela::app
