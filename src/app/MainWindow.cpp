#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QSlider>
#include <QStandardPaths>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

#include "app/GraphicControls.h"
#include "app/StatusBar.h"
#include "app/TextCodec.h"
#include "app/UpDownControl.h"
#include "app/WindowArithmetic.h"
#include "coding/Morse.h"

namespace vela::app {

namespace {

QString FromStd(const std::string& text) {
  return QString::fromStdString(text);
}

QFont Monospace(int points) {
  QFont font(QStringLiteral("Courier"));
  font.setFamilies({QStringLiteral("Courier"), QStringLiteral("Courier New"),
                    QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"),
                    QStringLiteral("Monospace")});
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPointSize(points);
  return font;
}

QFont SmallFont(int points) {
  QFont font(QStringLiteral("Small Fonts"));
  font.setFamilies({QStringLiteral("Small Fonts"), QStringLiteral("DejaVu Sans"),
                    QStringLiteral("Liberation Sans"), QStringLiteral("Sans Serif")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(points);
  return font;
}

void SetBase(QWidget* widget, QColor base, QColor text = Qt::black) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::Text, text);
  widget->setPalette(palette);
}

QIcon ProgramIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(QColor(0, 0, 96));
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0, 255, 255), 2));
  QPainterPath wave;
  wave.moveTo(2, 16);
  for (int x = 2; x <= 30; ++x) wave.lineTo(x, 16 - 9 * std::sin((x - 2) * 0.45));
  painter.drawPath(wave);
  painter.setPen(QColor(255, 255, 0));
  painter.drawLine(2, 28, 30, 28);
  return QIcon(pixmap);
}

}  // namespace

// The client area: everything under the menu bar, status bar included, as the control
// positions count it.
class ClientArea : public QWidget {
 public:
  ClientArea(MainWindow* window) : QWidget(window), window_(window) {}

 protected:
  void resizeEvent(QResizeEvent* event) override {
    window_->Relayout(event->size().height());
    QWidget::resizeEvent(event);
  }

 private:
  MainWindow* window_;
};

MainWindow::MainWindow(const Preferences& preferences, QWidget* parent)
    : QMainWindow(parent), prefs_(preferences) {
  prefs_.ApplyDefaults();
  rxCentreFrequency_ = prefs_.rxCentreFrequency;
  rxClickFrequency_ = 1000;
  txCentreFrequency_ = prefs_.txCentreFrequency;
  rxSampleRate_ = prefs_.rxSampleRate;
  squelchLevel_ = prefs_.squelchLevel;
  comPort_ = prefs_.comPort;

  setWindowTitle(QStringLiteral("VELA63 for LF/MF"));
  setWindowIcon(ProgramIcon());
  setAcceptDrops(true);

  client_ = new ClientArea(this);
  client_->setObjectName(QStringLiteral("client"));
  // The classic dialog font: the control sizes were chosen for it.
  client_->setFont(DialogFont());
  setCentralWidget(client_);

  BuildControls();
  BuildMenus();
  BuildStatusBar();
  BuildShortcuts();

  clockTimer_ = new QTimer(this);
  clockTimer_->setInterval(250);
  connect(clockTimer_, &QTimer::timeout, this, &MainWindow::ClockTick);
  clockTimer_->start();

  RebuildCwIdPattern();
  SelectMode(Mode::Vela63);
  sampleRateLabel_->setText(FromStd(FormatSampleRate(rxSampleRate_)));
  SetStatusPart(3, QStringLiteral("Tune signal OFF"));
  SetStatusPart(4, QStringLiteral("Beacon mode OFF"));
  RefreshStatus();
  ClockTick();
  RedrawScale();
  resize(727, 512);
}

MainWindow::~MainWindow() = default;

Preferences MainWindow::CurrentPreferences() const {
  Preferences p = prefs_;
  p.squelchLevel = squelchLevel_;
  p.comPort = comPort_;
  p.txCentreFrequency = txCentreFrequency_;
  p.rxSampleRate = rxSampleRate_;
  p.rxCentreFrequency = rxCentreFrequency_;
  return p;
}

void MainWindow::Place(QWidget* widget, int id, QRect design, bool followsOffset) {
  widget->setObjectName(QStringLiteral("c%1").arg(id));
  widget->setGeometry(design);
  placements_.push_back({widget, design, followsOffset});
}

void MainWindow::BuildControls() {
  QWidget* c = client_;

  eye_ = new EyeDiagramView(c);
  Place(eye_, 300, {468, 350, 128, 65}, true);
  levelBar_ = new LevelBarView(c);
  Place(levelBar_, 3910, {702, 350, 20, 100}, true);
  auto* snLabel = new QLabel(QStringLiteral("S/N"), c);
  Place(snLabel, 9320, {702, 452, 20, 14}, true);
  squelchBar_ = new SquelchBarView(c);
  Place(squelchBar_, 2001, {676, 350, 20, 100}, true);
  auto* sqlLabel = new QLabel(QStringLiteral("SQL"), c);
  Place(sqlLabel, 9321, {675, 452, 20, 14}, true);
  scale_ = new FrequencyScaleView(c);
  scale_->setFont(SmallFont(6));
  Place(scale_, 330, {0, 350, 465, 15}, true);
  waterfall_ = new WaterfallView(c);
  Place(waterfall_, 5100, {0, 365, 465, 102}, true);

  cwIdButton_ = new QPushButton(QStringLiteral("CWID"), c);
  Place(cwIdButton_, 699, {668, 322, 58, 25}, true);
  connect(cwIdButton_, &QPushButton::clicked, this, [this] { Command(699); });

  auto* modeGroup = new QButtonGroup(this);
  const char* modeNames[4] = {"VELA8", "VELA31", "VELA63", "VELA125"};
  for (int i = 0; i < 4; ++i) {
    modeButtons_[i] = new QRadioButton(QString::fromLatin1(modeNames[i]), c);
    Place(modeButtons_[i], 3000 + i, {607, 350 + 15 * i, 65, 15}, true);
    modeGroup->addButton(modeButtons_[i], 3000 + i);
  }
  modeButtons_[2]->setChecked(true);
  connect(modeGroup, &QButtonGroup::idClicked, this, &MainWindow::Command);

  receivePane_ = new QTextEdit(c);
  receivePane_->setAcceptRichText(true);
  receivePane_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  receivePane_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  SetBase(receivePane_, QColor(255, 250, 250));
  receivePane_->setFont(Monospace(11));
  receivePane_->setTextColor(QColor(0, 128, 0));
  Place(receivePane_, 320, {1, 1, 720, 238}, false);

  secondaryPane_ = new QTextEdit(c);
  secondaryPane_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  secondaryPane_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  secondaryPane_->setLineWrapMode(QTextEdit::NoWrap);
  secondaryPane_->document()->setDocumentMargin(1);
  SetBase(secondaryPane_, QColor(255, 228, 225));
  secondaryPane_->setTextColor(QColor(0, 128, 0));
  Place(secondaryPane_, 1004, {1, 241, 720, 20}, true);

  transmitPane_ = new QPlainTextEdit(c);
  transmitPane_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  SetBase(transmitPane_, QColor(255, 255, 224), Qt::black);
  transmitPane_->setFont(Monospace(6));
  Place(transmitPane_, 1001, {3, 264, 720, 57}, true);

  fineTune_ = new QSlider(Qt::Horizontal, c);
  fineTune_->setRange(0, kFineTuneRange);
  fineTune_->setValue(kFineTuneCentre);
  fineTune_->setTickPosition(QSlider::NoTicks);
  fineTune_->setTracking(true);
  Place(fineTune_, 1500, {468, 420, 127, 27}, true);
  connect(fineTune_, &QSlider::sliderMoved, this, &MainWindow::FineTune);

  auto* fineLabel = new QLabel(QStringLiteral("Fine tune"), c);
  Place(fineLabel, 9322, {510, 452, 60, 14}, true);

  sampleRateLabel_ = new QLabel(c);
  sampleRateLabel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // The trim arrows cover the read-out's left edge and the squelch bar its right edge.
  sampleRateLabel_->setAlignment(Qt::AlignCenter);
  sampleRateLabel_->setContentsMargins(6, 0, 8, 0);
  Place(sampleRateLabel_, 3100, {624, 420, 60, 27}, true);

  sampleRateTrim_ = new UpDownControl(c);
  Place(sampleRateTrim_, 3101, {620, 420, 20, 30}, true);
  sampleRateTrim_->raise();
  connect(sampleRateTrim_, &UpDownControl::stepped, this, &MainWindow::StepSampleRate);

  auto* rateLabel = new QLabel(QStringLiteral("Sample Rate"), c);
  Place(rateLabel, 9323, {606, 452, 62, 14}, true);

  for (int i = 0; i < 8; ++i) {
    macroButtons_[i] = new QPushButton(prefs_.macros[i].label, c);
    Place(macroButtons_[i], 9310 + i, {62 * i, 322, 62, 25}, true);
    connect(macroButtons_[i], &QPushButton::clicked, this, [this, i] { Command(9310 + i); });
  }
  sendButton_ = new QPushButton(QStringLiteral("F9 Send"), c);
  Place(sendButton_, 110, {511, 322, 67, 25}, true);
  connect(sendButton_, &QPushButton::clicked, this, [this] { Command(110); });
  delayedReceiveButton_ = new QPushButton(QStringLiteral("F10 Rx"), c);
  Place(delayedReceiveButton_, 9319, {588, 322, 67, 25}, true);
  connect(delayedReceiveButton_, &QPushButton::clicked, this, [this] { Command(9319); });

  // Buttons do not take the focus from the transmit pane when clicked.
  for (QPushButton* b : macroButtons_) b->setFocusPolicy(Qt::TabFocus);
  for (QPushButton* b : {sendButton_, delayedReceiveButton_, cwIdButton_}) {
    b->setFocusPolicy(Qt::TabFocus);
  }

  // Right clicks: these controls carry their own id as context-help id.
  std::vector<QWidget*> helpControls(macroButtons_.begin(), macroButtons_.end());
  helpControls.insert(helpControls.end(), {sendButton_, delayedReceiveButton_, fineTune_,
                                           sampleRateTrim_, eye_, receivePane_});
  for (QWidget* w : helpControls) {
    const int id = w->objectName().mid(1).toInt();
    w->setProperty("contextHelpId", id);
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w, &QWidget::customContextMenuRequested, this, [this, w, id](const QPoint& pos) {
      QWidget* origin = w;
      if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) origin = area->viewport();
      ContextHelp(id, origin->mapToGlobal(pos));
    });
  }

  for (int i = 0; i < 8; ++i) {
    macroButtons_[i]->setToolTip(QStringLiteral("Right mouse click to personalise"));
  }
  sendButton_->setToolTip(QStringLiteral("SEND button"));
  delayedReceiveButton_->setToolTip(
      QStringLiteral("DELAYED RECEIVE button - Right mouse click to change EOT parameter"));
  fineTune_->setToolTip(QStringLiteral("Fine tune"));
  sampleRateTrim_->setToolTip(QStringLiteral("Adjust sanple rate"));
  eye_->setToolTip(QStringLiteral("Eye diagram"));

  connect(waterfall_, &GraphicControl::leftClicked, this,
          [this](QPoint p) { WaterfallClicked(p.x()); });
  connect(waterfall_, &GraphicControl::rightClicked, this,
          [this](QPoint p) { WaterfallRightClicked(p.x()); });
  connect(waterfall_, &GraphicControl::mouseMovedTo, this,
          [this](QPoint p) { WaterfallHover(p.x()); });
  connect(squelchBar_, &GraphicControl::leftClicked, this,
          [this](QPoint p) { SquelchClicked(p.y()); });

  // The panes would take a dropped file as a link; the window reads its bytes instead.
  for (QAbstractScrollArea* pane :
       std::initializer_list<QAbstractScrollArea*>{transmitPane_, receivePane_, secondaryPane_}) {
    pane->viewport()->installEventFilter(this);
  }
  transmitPane_->setFocus();
}

void MainWindow::BuildMenus() {
  struct Item {
    const char* caption;
    int id;
  };
  struct MenuLayout {
    const char* title;
    std::vector<Item> items;
  };
  const std::vector<MenuLayout> menus = {
      {"File", {{"Save screen to file now", 1601}, {"Decode recording...", 1602}}},
      {"TX options",
       {{"PTT", 120},
        {"CAT", 121},
        {"Transmit frequency", 3911},
        {"Toggle beacon mode ON/OFF", 3300},
        {"Toggle tune signal ON/OFF", 3912}}},
      {"Soundcard",
       {{"Mixer", 670},
        {"Audio Devices", 671},
        {"SelectSoundcard", 672},
        {"I and Q output", 3220}}},
      {"Display",
       {{"Correlation display", 6666},
        {"Toggle waterfall palette", 2020},
        {"Enhanced receiver", kEnhancedReceiverCommand}}},
      {"Text options",
       {{"Clear RX", 3250}, {"Clear TX", 3251}, {"Secondary text", 3252}, {"Callsign", 1002}}},
      {"Help", {{"Help", 1700}, {"About", 1701}}},
  };
  for (const MenuLayout& layout : menus) {
    QMenu* menu = menuBar()->addMenu(QString::fromLatin1(layout.title));
    menu->setObjectName(QStringLiteral("menu ") + QString::fromLatin1(layout.title));
    for (const Item& item : layout.items) {
      QAction* action = menu->addAction(QString::fromLatin1(item.caption));
      action->setObjectName(QStringLiteral("m%1").arg(item.id));
      action->setProperty("commandId", item.id);
      const int id = item.id;
      if (id == kEnhancedReceiverCommand) {
        action->setCheckable(true);
        enhancedReceiverAction_ = action;
      }
      connect(action, &QAction::triggered, this, [this, id] { Command(id); });
    }
  }
}

void MainWindow::BuildStatusBar() {
  statusBar_ = new StatusBar(client_);
  for (int i = 0; i < 6; ++i) statusParts_[i] = statusBar_->part(i + 1);
}

void MainWindow::BuildShortcuts() {
  for (int k = 0; k < 10; ++k) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F1 + k), this);
    shortcut->setObjectName(QStringLiteral("k%1").arg(1401 + k));
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    const int id = 1401 + k;
    connect(shortcut, &QShortcut::activated, this, [this, id] { Command(id); });
  }
}

void MainWindow::Relayout(int clientHeight) {
  layoutOffset_ = LayoutOffset(clientHeight);
  for (const Placement& p : placements_) {
    QRect r = p.design;
    if (p.widget == receivePane_) {
      r.setHeight(std::max(0, p.design.height() + layoutOffset_));
    } else if (p.followsOffset) {
      r.moveTop(p.design.y() + layoutOffset_);
      if (p.widget == sampleRateTrim_) r.moveLeft(610);
    }
    p.widget->setGeometry(r);
  }
  if (statusBar_) {
    const int h = statusBar_->sizeHint().height();
    statusBar_->setGeometry(0, clientHeight - h, client_->width(), h);
  }
  client_->update();
}

QWidget* MainWindow::control(int id) const {
  return client_->findChild<QWidget*>(QStringLiteral("c%1").arg(id));
}

QAction* MainWindow::menuCommand(int id) const {
  return findChild<QAction*>(QStringLiteral("m%1").arg(id));
}

QString MainWindow::statusPart(int part) const {
  return statusParts_.at(part - 1)->text();
}

void MainWindow::SetStatusPart(int part, const QString& text) {
  statusParts_.at(part - 1)->setText(text);
}

int MainWindow::modeRate() const {
  return ModeTable(mode_).modeRate;
}

const QString& MainWindow::endMarker() const {
  return prefs_.macros[Preferences::kDelayedReceive].text;
}

void MainWindow::Notify(QMessageBox::Icon icon, const QString& title, const QString& text) {
  if (messageSink_) {
    messageSink_(icon, title, text);
    return;
  }
  QMessageBox box(icon, title, text, QMessageBox::Ok, this);
  box.exec();
}

void MainWindow::RefreshStatus() {
  SetStatusPart(1, FromStd(FormatWhole(rxCentreFrequency_)) + QStringLiteral("Hz"));
  SetStatusPart(2, FromStd(FormatOneDecimal(cursorFrequency_)) + QStringLiteral("Hz, ") +
                       FromStd(FormatOneDecimal(cursorLevel_)) + QStringLiteral("dB"));
  SetStatusPart(5, QString::fromLatin1(ModeTable(mode_).statusText.data(),
                                       ModeTable(mode_).statusText.size()));
}

void MainWindow::Command(int id) {
  if (id >= 1401 && id <= 1408) {
    macroButtons_[id - 1401]->click();
    return;
  }
  if (id >= 9310 && id <= 9317) {
    InsertIntoTransmitPane(prefs_.macros[id - 9310].text);
    return;
  }
  if (id >= 3000 && id <= 3003) {
    SelectMode(static_cast<Mode>(id - 3000));
    transmitPane_->setFocus();
    return;
  }
  if (id >= 9400 && id <= 9404) {
    ReceivePaneCommand(id);
    return;
  }
  switch (id) {
    case 1409:
      sendButton_->click();
      break;
    case 1410:
      delayedReceiveButton_->click();
      break;
    case 9319:
      InsertIntoTransmitPane(endMarker());
      break;
    case 110:
      if (transmitter_) transmitter_->Send();
      break;
    case 699:
      if (transmitter_) transmitter_->ToggleCwId();
      break;
    case 3912:
      if (transmitter_) transmitter_->ToggleTune();
      break;
    case 1601:
      SaveScreen();
      break;
    case 1602:
      ChooseRecording();
      break;
    case 120:
      PickPttPort();
      break;
    case 121:
      Notify(QMessageBox::Warning, windowTitle(),
             QStringLiteral("CAT control not yet implemented"));
      break;
    case 3911:
      AskTransmitFrequency();
      break;
    case 3300:
      if (transmitter_) transmitter_->ToggleBeacon();
      break;
    case 670:
      StartMixer(false);
      break;
    case 671:
      StartMixer(true);
      break;
    case 672:
      SelectSoundcard();
      break;
    case 3220:
      OpenOutputModeDialog();
      break;
    case 6666:
      emit correlationDisplayRequested();
      break;
    case kEnhancedReceiverCommand:
      // The check mark follows the action itself; tell the modem which receiver to run.
      emit enhancedReceiverToggled(enhancedReceiverAction_->isChecked());
      break;
    case 2020:
      waterfallPalette_ = waterfallPalette_ == 1 ? 0 : 1;
      waterfall_->SetPaletteSwitch(waterfallPalette_);
      emit paletteChanged(waterfallPalette_);
      break;
    case 3250:
      receivePane_->clear();
      break;
    case 3251:
      clearTxRequest_ = true;
      transmitPane_->clear();
      emit clearTxRequested();
      break;
    case 3252:
      AskSecondaryText();
      break;
    case 1002:
      AskCallsign();
      break;
    case 1700:
      OpenHelp();
      break;
    case 1701:
      ShowAbout();
      break;
    default:
      return;
  }
  // The operator goes on typing where the text goes out.
  transmitPane_->setFocus();
}

void MainWindow::InsertIntoTransmitPane(const QString& text) {
  QTextCursor cursor = transmitPane_->textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(QStringLiteral(" ") + text);
  transmitPane_->setTextCursor(cursor);
  transmitPane_->ensureCursorVisible();
  transmitPane_->setFocus();
}

void MainWindow::ClockTick() {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  const QTime t = now.time();
  SetStatusPart(
      6, FromStd(FormatClock(d.day(), d.month(), d.year(), t.hour(), t.minute(), t.second())));
}

void MainWindow::SelectMode(Mode mode) {
  mode_ = mode;
  const ModeParams& params = ModeTable(mode);
  cwIdPeriodMs_ = MorseTickMs(mode, prefs_.cwIdFlag);
  if (transmitter_) transmitter_->SetMorseIdentifier(cwIdPattern_, cwIdPeriodMs_);
  modeButtons_[static_cast<int>(mode)]->setChecked(true);
  setWindowTitle(QString::fromLatin1(params.title.data(), params.title.size()));
  RefreshStatus();
  emit modeSelected(mode);
}

void MainWindow::AttachTransmitter(TransmitController* transmitter) {
  transmitter_ = transmitter;
  if (transmitter_) transmitter_->SetMorseIdentifier(cwIdPattern_, cwIdPeriodMs_);
}

const TransmitState& MainWindow::transmitState() const {
  static const TransmitState kReceiving;
  return transmitter_ ? transmitter_->state() : kReceiving;
}

void MainWindow::ShowTransmitState(const TransmitState& now, const TransmitState& before) {
  if (now.sending() != before.sending()) {
    sendButton_->setText(now.sending() ? QStringLiteral("F9 Receive") : QStringLiteral("F9 Send"));
  }
  if (now.identifying() != before.identifying()) {
    SetStatusPart(3, now.identifying() ? QStringLiteral("CWID ON") : QStringLiteral("CWID OFF"));
  }
  if (now.tuning() != before.tuning()) {
    SetStatusPart(
        3, now.tuning() ? QStringLiteral("Tune signal ON") : QStringLiteral("Tune signal OFF"));
  }
  if (now.beacon != before.beacon) {
    SetStatusPart(
        4, now.beacon ? QStringLiteral("Beacon mode ON") : QStringLiteral("Beacon mode OFF"));
  }
  if (now.onAir() != before.onAir()) LockTransmitControls(now.onAir());
}

void MainWindow::LockTransmitControls(bool locked) {
  for (QRadioButton* b : modeButtons_) b->setEnabled(!locked);
  menuCommand(120)->setEnabled(!locked);
}

void MainWindow::ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text) {
  Notify(icon, title, text);
}

void MainWindow::ShowReceivedChar(QChar c, QColor colour) {
  QTextCursor cursor = receivePane_->textCursor();
  cursor.movePosition(QTextCursor::End);
  if (c == QChar(8)) {
    cursor.deletePreviousChar();
  } else {
    QTextCharFormat format;
    format.setForeground(colour);
    cursor.insertText(QString(c == QChar(13) ? QChar(10) : c), format);
  }
  receivePane_->setTextCursor(cursor);
  receivePane_->ensureCursorVisible();
}

void MainWindow::RedrawScale() {
  scale_->SetFrequencies(static_cast<double>(rxCentreFrequency_),
                         static_cast<double>(txCentreFrequency_));
}

void MainWindow::ChooseRecording() {
  QString path;
  if (recordingPrompt_) {
    path = recordingPrompt_();
  } else {
    // Start where the program keeps its sample recording.
    path = QFileDialog::getOpenFileName(this, QStringLiteral("Decode recording"),
                                        QCoreApplication::applicationDirPath(),
                                        QStringLiteral("Recordings (*.wav *.flac);;All files (*)"));
  }
  if (!path.isEmpty()) emit recordingChosen(path);
}

void MainWindow::WaterfallHover(int x) {
  cursorFrequency_ = static_cast<float>(WaterfallFrequency(x));
  if (x >= 0 && x < static_cast<int>(spectrum_.size())) {
    cursorLevel_ = WaterfallLevel(spectrum_[x]);
  }
  RefreshStatus();
}

void MainWindow::WaterfallClicked(int x) {
  const long double f = WaterfallFrequency(x);
  rxCentreFrequency_ = rxClickFrequency_ = f;
  fineTune_->setValue(FineTunePositionAfterClick(f));
  RefreshStatus();
  RedrawScale();
  emit rxFrequencyChanged(static_cast<double>(f));
}

void MainWindow::WaterfallRightClicked(int x) {
  txCentreFrequency_ = WaterfallFrequency(x);
  RedrawScale();
  emit txFrequencyChanged(static_cast<double>(txCentreFrequency_));
}

void MainWindow::FineTune(int position) {
  rxCentreFrequency_ = FineTuneFrequency(rxClickFrequency_, modeRate(), position);
  RefreshStatus();
  transmitPane_->setFocus();
  RedrawScale();
  emit rxFrequencyChanged(static_cast<double>(rxCentreFrequency_));
}

void MainWindow::SquelchClicked(int y) {
  squelchLevel_ = SquelchFromClick(squelchBar_->height(), y);
  squelchBar_->SetThreshold(squelchLevel_);
  emit squelchChanged(squelchLevel_);
}

void MainWindow::StepSampleRate(int delta) {
  rxSampleRate_ = vela::app::StepSampleRate(rxSampleRate_, delta);
  sampleRateLabel_->setText(FromStd(FormatSampleRate(rxSampleRate_)));
  emit rxSampleRateChanged(static_cast<double>(rxSampleRate_));
}

void MainWindow::RebuildCwIdPattern() {
  const QByteArray bytes = EncodeWindows1252(prefs_.callsign);
  cwIdPattern_ = MorsePattern(std::string_view(bytes.constData(), bytes.size()));
  if (transmitter_) transmitter_->SetMorseIdentifier(cwIdPattern_, cwIdPeriodMs_);
}

void MainWindow::AskTransmitFrequency() {
  const QString initial = QStringLiteral(" ") + FormatPreferenceNumber(txCentreFrequency_);
  const QString title = QStringLiteral("Transmit frequency");
  const QString prompt = QStringLiteral("Enter transmit audio frequency in Hz");
  std::optional<QString> answer =
      textPrompt_ ? textPrompt_(title, prompt, initial) : AskText(this, title, prompt, initial);
  if (!answer || answer->trimmed().isEmpty()) return;
  std::optional<long double> hz = ParseFrequencyAnswer(answer->toStdString());
  if (!hz) {
    Notify(QMessageBox::Warning, title,
           QStringLiteral("\"%1\" is not a positive frequency in hertz; the transmit frequency "
                          "stays %2 Hz.")
               .arg(answer->trimmed(), FormatPreferenceNumber(txCentreFrequency_)));
    return;
  }
  txCentreFrequency_ = *hz;
  RedrawScale();
  emit txFrequencyChanged(static_cast<double>(txCentreFrequency_));
}

void MainWindow::AskCallsign() {
  const QString title = QStringLiteral("CALLSIGN");
  const QString prompt = QStringLiteral(
      "Enter callsign - add a couple of spaces after call to ensure it completes at low baud "
      "rates");
  std::optional<QString> answer = textPrompt_ ? textPrompt_(title, prompt, prefs_.callsign)
                                              : AskText(this, title, prompt, prefs_.callsign);
  if (answer && !answer->isEmpty()) {
    prefs_.callsign = *answer;
    if (prefs_.secondaryText == QStringLiteral("nocall")) {
      prefs_.secondaryText = prefs_.callsign + QStringLiteral("  ");
      emit secondaryTextChanged(prefs_.secondaryText);
    }
    emit callsignChanged(prefs_.callsign);
  }
  RebuildCwIdPattern();
}

void MainWindow::AskSecondaryText() {
  const QString title = QStringLiteral("Secondary channel text");
  std::optional<QString> answer = textPrompt_
                                      ? textPrompt_(title, QString(), prefs_.secondaryText)
                                      : AskText(this, title, QString(), prefs_.secondaryText);
  if (!answer) return;
  prefs_.secondaryText = *answer;
  if (prefs_.secondaryText.isEmpty() || prefs_.secondaryText == QStringLiteral("nocall")) {
    prefs_.secondaryText = prefs_.callsign + QStringLiteral(" ");
  }
  emit secondaryTextChanged(prefs_.secondaryText);
}

void MainWindow::PickPttPort() {
  QAction* ptt = menuCommand(120);
  ptt->setEnabled(false);
  sendButton_->setEnabled(false);
  const QString answer =
      pttPrompt_ ? pttPrompt_(comPort_) : PttPickerDialog::Ask(comPort_, portResolver_, this);
  ptt->setEnabled(true);
  sendButton_->setEnabled(true);
  std::optional<int> port = PttPortFromAnswer(answer.toStdString());
  if (!port) return;
  comPort_ = *port;
  emit pttPortChosen(comPort_);
}

void MainWindow::OpenOutputModeDialog() {
  OutputModeDialog dialog(outputMode_, this);
  connect(&dialog, &OutputModeDialog::modeChosen, this, [this](int mode) {
    outputMode_ = mode;
    emit outputModeChanged(mode);
  });
  dialog.exec();
}

void MainWindow::SelectSoundcard() {
  // Not while anything is, or is about to go, on the air: the output follows the card.
  const TransmitState& tx = transmitState();
  if (tx.request != TransmitRequest::None || tx.outputOpen()) return;
  emit soundcardSelectionStarting();
  int chosen = -1;
  if (devicePrompt_) {
    chosen = devicePrompt_(captureDevices_);
  } else {
    SoundcardDialog dialog(captureDevices_, 0, nullptr);
    dialog.exec();
    chosen = dialog.chosen();
  }
  if (chosen >= 0) emit captureDeviceChosen(chosen);
}

void MainWindow::StartMixer(bool devicesPage) {
  const QString pavucontrol = QStandardPaths::findExecutable(QStringLiteral("pavucontrol"));
  if (!pavucontrol.isEmpty()) {
    QStringList args;
    if (devicesPage) args << QStringLiteral("--tab=3");
    QProcess::startDetached(pavucontrol, args);
    return;
  }
  const QString alsamixer = QStandardPaths::findExecutable(QStringLiteral("alsamixer"));
  if (!alsamixer.isEmpty()) {
    for (const char* terminal : {"x-terminal-emulator", "xterm", "gnome-terminal", "konsole",
                                 "xfce4-terminal", "lxterminal"}) {
      const QString path = QStandardPaths::findExecutable(QString::fromLatin1(terminal));
      if (path.isEmpty()) continue;
      QStringList args{QStringLiteral("-e"), alsamixer};
      if (devicesPage) args << QStringLiteral("--view=all");
      if (QProcess::startDetached(path, args)) return;
    }
  }
  statusBar_->ShowNote(
      QStringLiteral("No mixer found: install pavucontrol, or alsamixer and a terminal"), 8000);
}

void MainWindow::OpenHelp() {
  const QStringList candidates = {
      QCoreApplication::applicationDirPath() + QStringLiteral("/velahelp.htm"),
      QStringLiteral("velahelp.htm")};
  for (const QString& path : candidates) {
    if (!QFileInfo::exists(path)) continue;
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    return;
  }
  statusBar_->ShowNote(QStringLiteral("Help page velahelp.htm not found beside the program"), 8000);
}

QString MainWindow::SaveScreen() {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  const QTime t = now.time();
  const QString name =
      FromStd(SaveScreenFileName(d.day(), d.month(), d.year(), t.hour(), t.minute(), t.second()));
  QString text = receivePane_->toPlainText();
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\n', QStringLiteral("\r\n"));
  const QByteArray bytes = text.toUtf8() + "\r\n";
  QSaveFile file(name);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    Notify(QMessageBox::Warning, QStringLiteral("Save screen"),
           QStringLiteral("Could not save the receive pane to %1: %2")
               .arg(QFileInfo(name).absoluteFilePath(), file.errorString()));
    return {};
  }
  statusBar_->ShowNote(QStringLiteral("Receive pane saved to ") + name, 5000);
  return name;
}

void MainWindow::ShowAbout() {
  AboutDialog about(this);
  about.setWindowIcon(windowIcon());
  about.exec();
}

bool MainWindow::AppendFileToTransmitPane(const QString& path) {
  const QString title = QStringLiteral("Dropped file");
  QFileInfo info(path);
  if (!info.isFile()) {
    Notify(QMessageBox::Warning, title,
           QStringLiteral("%1 is not a readable file; nothing added.").arg(info.fileName()));
    return false;
  }
  if (info.size() > kMaxDroppedFileBytes) {
    Notify(QMessageBox::Warning, title,
           QStringLiteral("%1 is larger than 1 MiB; nothing added to the transmit text.")
               .arg(info.fileName()));
    return false;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Notify(QMessageBox::Warning, title,
           QStringLiteral("%1 cannot be read (%2); nothing added.")
               .arg(info.fileName(), file.errorString()));
    return false;
  }
  const QByteArray bytes = file.read(kMaxDroppedFileBytes + 1);
  if (bytes.size() > kMaxDroppedFileBytes) {
    Notify(QMessageBox::Warning, title,
           QStringLiteral("%1 is larger than 1 MiB; nothing added to the transmit text.")
               .arg(info.fileName()));
    return false;
  }
  QTextCursor cursor = transmitPane_->textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(DecodeText(bytes));
  transmitPane_->setTextCursor(cursor);
  return true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  if (AppendFileToTransmitPane(urls.first().toLocalFile())) event->acceptProposedAction();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const bool paneViewport = watched == transmitPane_->viewport() ||
                            watched == receivePane_->viewport() ||
                            watched == secondaryPane_->viewport();
  if (paneViewport) {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!drag->mimeData()->hasUrls()) break;
        const QList<QUrl> urls = drag->mimeData()->urls();
        if (!urls.isEmpty() && urls.first().isLocalFile()) {
          drag->acceptProposedAction();
        } else {
          drag->ignore();
        }
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls()) break;
        dropEvent(drop);
        return true;
      }
      default:
        break;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing while the transmitter is on: stop the output first; the window closes once
  // the controller says the output has closed, so the carrier and PTT never stay up.
  if (transmitter_ && !transmitter_->RequestExit()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void MainWindow::ContextHelp(int id, QPoint globalPos) {
  if (id >= 9310 && id <= 9317) {
    DefineMacro(id - 9310);
  } else if (id == 9319) {
    DefineEndMarker();
  } else if (id == 320) {
    QMenu menu(this);
    const std::pair<const char*, int> items[] = {
        {"Copy", 9400},       {"Paste", 9401}, {"Clear RX screen", 9402}, {nullptr, 0},
        {"Select all", 9403}, {nullptr, 0},    {"Pause screen", 9404}};
    for (const auto& [caption, itemId] : items) {
      if (!caption) {
        menu.addSeparator();
        continue;
      }
      QAction* action = menu.addAction(QString::fromLatin1(caption));
      action->setObjectName(QStringLiteral("m%1").arg(itemId));
      if (itemId == 9404) {
        action->setCheckable(true);
        action->setChecked(pauseScreen_);
      }
      const int commandId = itemId;
      connect(action, &QAction::triggered, this, [this, commandId] { Command(commandId); });
    }
    menu.exec(globalPos);
  }
}

void MainWindow::ReceivePaneCommand(int id) {
  QWidget* focus = QApplication::focusWidget();
  auto* rich = qobject_cast<QTextEdit*>(focus);
  auto* plain = qobject_cast<QPlainTextEdit*>(focus);
  if (!rich && !plain) rich = receivePane_;
  switch (id) {
    case 9400:
      rich ? rich->copy() : plain->copy();
      break;
    case 9401:
      rich ? rich->paste() : plain->paste();
      break;
    case 9402:
      receivePane_->clear();
      break;
    case 9403:
      rich ? rich->selectAll() : plain->selectAll();
      break;
    case 9404:
      pauseScreen_ = !pauseScreen_;
      SetBase(receivePane_, pauseScreen_ ? QColor(255, 192, 203) : QColor(255, 250, 250));
      emit pauseToggled(pauseScreen_);
      break;
    default:
      break;
  }
}

void MainWindow::AppendReceived(const QString& text, QColor colour) {
  QTextCursor cursor = receivePane_->textCursor();
  cursor.movePosition(QTextCursor::End);
  QTextCharFormat format;
  format.setForeground(colour);
  cursor.insertText(text, format);
  receivePane_->setTextCursor(cursor);
  receivePane_->ensureCursorVisible();
}

void MainWindow::AppendSecondary(const QString& text) {
  QTextCursor cursor = secondaryPane_->textCursor();
  cursor.movePosition(QTextCursor::End);
  QTextCharFormat format;
  format.setForeground(QColor(0, 0, 255));
  cursor.insertText(text, format);
  secondaryPane_->setTextCursor(cursor);
  secondaryPane_->ensureCursorVisible();
}

void MainWindow::DefineMacro(int index) {
  QDialog dialog(this);
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
  const int n = index + 1;
  dialog.setWindowTitle(QStringLiteral("Define macro button %1 (F%1)").arg(n));
  QPalette palette = dialog.palette();
  palette.setColor(QPalette::Window, QColor(139, 197, 197));
  dialog.setPalette(palette);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(QStringLiteral("Button label"), &dialog));
  auto* label = new QLineEdit(prefs_.macros[index].label, &dialog);
  label->setObjectName(QStringLiteral("c10002"));
  layout->addWidget(label);
  layout->addWidget(new QLabel(QStringLiteral("Macro text"), &dialog));
  auto* text = new QPlainTextEdit(prefs_.macros[index].text, &dialog);
  text->setObjectName(QStringLiteral("c10003"));
  // Room for a few lines of a typical macro; the dialog stays small beside the window.
  text->setFixedHeight(text->fontMetrics().lineSpacing() * 5 + 12);
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(&dialog);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)
      ->setObjectName(QStringLiteral("c10004"));
  buttons->addButton(QStringLiteral("CANCEL"), QDialogButtonBox::RejectRole)
      ->setObjectName(QStringLiteral("c10005"));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  dialog.resize(320, dialog.sizeHint().height());
  if (dialog.exec() != QDialog::Accepted) return;
  prefs_.macros[index].label = label->text();
  prefs_.macros[index].text = text->toPlainText();
  macroButtons_[index]->setText(prefs_.macros[index].label);
}

void MainWindow::DefineEndMarker() {
  const QString title = QStringLiteral("Delayed receive text");
  std::optional<QString> answer = textPrompt_ ? textPrompt_(title, QString(), endMarker())
                                              : AskText(this, title, QString(), endMarker());
  if (!answer) return;
  QString marker = *answer;
  if (marker.isEmpty()) marker = QStringLiteral("[EOT]");
  prefs_.macros[Preferences::kDelayedReceive].text = marker;
  emit endMarkerChanged(marker);
}

}  // namespace vela::app
