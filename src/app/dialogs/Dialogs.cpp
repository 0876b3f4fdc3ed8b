#include "app/dialogs/Dialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace vela::app {

namespace {

// Dialog units of the classic dialog font, in pixels.
int DluX(int units) {
  return units * 6 / 4;
}
int DluY(int units) {
  return units * 13 / 8;
}

// Wide enough for `title` beside a title bar's icon and three buttons, so it never reads
// "...".
int TitledWidth(const QString& title) {
  return QFontMetrics(QApplication::font()).horizontalAdvance(title) + 3 * 32 + 24;
}

// Opens `dialog` `dlu` dialog units from its owner's top-left corner, as a dialog of the
// window is placed.
void PlaceOverOwner(QDialog& dialog, QPoint dlu) {
  const QWidget* owner = dialog.parentWidget();
  const QPoint origin = owner ? owner->window()->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
  dialog.move(origin + DialogUnits(dlu.x(), dlu.y()));
}

struct TextBoxLayout {
  TextBox box;
  int height;  // dialog units; all are 170 wide
  int boxId;
  int boxHeight;
};

// The boxes' ids, and sizes in dialog units: the edit box at (2, 1), 162 wide, and OK and
// CANCEL under it.
constexpr TextBoxLayout kTextBoxes[] = {
    {TextBox::DelayedReceive, 65, 11006, 25},
    {TextBox::SecondaryText, 115, 10006, 75},
};

}  // namespace

QPoint DialogUnits(int x, int y) {
  return {DluX(x), DluY(y)};
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

QFont DialogFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma"),
                    QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Nimbus Sans"), font.family()});
  font.setPixelSize(11);
  return font;
}

OutputModeDialog::OutputModeDialog(int mode, QWidget* parent)
    : QDialog(parent), group_(new QButtonGroup(this)), mode_(mode) {
  setWindowTitle(QStringLiteral("Output"));
  setFont(DialogFont());
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setFixedSize(std::max(DluX(60), TitledWidth(windowTitle())), DluY(60) + 30);
  PlaceOverOwner(*this, {100, 100});
  auto* mono = new QRadioButton(QStringLiteral("Mono"), this);
  auto* iq = new QRadioButton(QStringLiteral("I and Q"), this);
  mono->setObjectName(QStringLiteral("c9991"));
  iq->setObjectName(QStringLiteral("c9992"));
  mono->setGeometry(DluX(5), DluY(1), DluX(65), DluY(15));
  iq->setGeometry(DluX(5), DluY(20), DluX(65), DluY(15));
  group_->addButton(mono, 0);
  group_->addButton(iq, 1);
  (mode == 0 ? mono : iq)->setChecked(true);
  connect(group_, &QButtonGroup::idClicked, this, [this](int id) {
    mode_ = id;
    emit modeChosen(id);
  });
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setGeometry(DluX(5), DluY(40), 80, 24);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

SoundcardDialog::SoundcardDialog(const QStringList& devices, int current, QWidget* parent)
    : QDialog(parent, Qt::Tool), combo_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("Select soundcard"));
  setFont(DialogFont());
  setFixedSize(247, 30);
  combo_->setObjectName(QStringLiteral("c1300"));
  combo_->addItems(devices);
  combo_->setGeometry(1, 2, 180, 24);
  combo_->setMaxVisibleItems(12);
  if (current >= 0 && current < devices.size()) combo_->setCurrentIndex(current);
  auto* select = new QPushButton(QStringLiteral("Select"), this);
  select->setObjectName(QStringLiteral("c4321"));
  select->setGeometry(190, 1, 50, 23);
  connect(select, &QPushButton::clicked, this, [this] {
    chosen_ = combo_->currentIndex();
    accept();
  });
}

void SoundcardDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (combo_->count() > 0) return;
  QTimer::singleShot(0, this, [this] {
    QMessageBox::warning(this, QStringLiteral("Warning"), QString::fromLatin1(kNoDevicesText));
  });
}

TextBoxDialog::TextBoxDialog(TextBox box, const QString& initial, QWidget* owner)
    : QDialog(owner), edit_(new QPlainTextEdit(initial, this)) {
  const TextBoxLayout& layout = kTextBoxes[box == TextBox::DelayedReceive ? 0 : 1];
  setWindowTitle(TextBoxTitle(box));
  setWindowIcon(ProgramIcon());
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setFont(DialogFont());
  setFixedSize(std::max(DluX(170), TitledWidth(windowTitle())), DluY(layout.height));
  PlaceOverOwner(*this, {100, 50});
  edit_->setObjectName(QStringLiteral("c%1").arg(layout.boxId));
  edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edit_->setGeometry(DluX(2), DluY(1), width() - 2 * DluX(2), DluY(layout.boxHeight));
  const int buttonsY = DluY(1 + layout.boxHeight + 3);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("c%1").arg(layout.boxId + 1));
  ok->setGeometry(DluX(2), buttonsY, DluX(40), DluY(15));
  auto* cancel = new QPushButton(QStringLiteral("CANCEL"), this);
  cancel->setObjectName(QStringLiteral("c%1").arg(layout.boxId + 2));
  cancel->setGeometry(DluX(50), buttonsY, DluX(40), DluY(15));
  // Return is a line break in the box, not OK.
  ok->setAutoDefault(false);
  cancel->setAutoDefault(false);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TextBoxDialog::text() const {
  return edit_->toPlainText();
}

MacroDialog::MacroDialog(int index, const MacroEntry& macro, QWidget* parent) : QDialog(parent) {
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowTitle(QStringLiteral("Define macro button %1 (F%1)").arg(index + 1));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(139, 197, 197));
  setPalette(palette);
  setWindowIcon(ProgramIcon());
  auto* layout = new QVBoxLayout(this);
  auto* labelCaption = new QLabel(QStringLiteral("Button label"), this);
  labelCaption->setObjectName(QStringLiteral("c10001"));
  layout->addWidget(labelCaption);
  label_ = new QLineEdit(macro.label, this);
  label_->setObjectName(QStringLiteral("c10002"));
  layout->addWidget(label_);
  auto* textCaption = new QLabel(QStringLiteral("Macro text"), this);
  textCaption->setObjectName(QStringLiteral("c10000"));
  layout->addWidget(textCaption);
  text_ = new QPlainTextEdit(macro.text, this);
  text_->setObjectName(QStringLiteral("c10003"));
  // Room for a few lines of a typical macro; the dialog stays small beside the window.
  text_->setFixedHeight(text_->fontMetrics().lineSpacing() * 5 + 12);
  layout->addWidget(text_);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)
      ->setObjectName(QStringLiteral("c10004"));
  buttons->addButton(QStringLiteral("CANCEL"), QDialogButtonBox::RejectRole)
      ->setObjectName(QStringLiteral("c10005"));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  resize(std::max(320, TitledWidth(windowTitle())), sizeHint().height());
  PlaceOverOwner(*this, {100, 100});
}

MacroEntry MacroDialog::macro() const {
  return {label_->text(), text_->toPlainText()};
}

std::optional<MacroEntry> MacroDialog::Ask(int index, const MacroEntry& macro, QWidget* parent) {
  MacroDialog dialog(index, macro, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.macro();
}

QString AboutDialog::AboutText() {
  const char* const lines[] = {
      "Keyboard-to-keyboard MSK text for the LF and MF amateur bands",
      "Written by the VELA Terminal developers",
      "",
      "Varicode is PSK31 varicode with secondary characters > ascii 255",
      "Convolutional encoder/decoder is NASA K=7",
      "Interleaver is 96 bits (short) and 192 bits (long) respectively",
      "Sync is derived from correlation of 31 bit STANAG 4285 PN sequence",
      "PN bits are evenly distributed through the data",
      "",
      "Version 1.0 Build 22.08.10",
      "This version:August 2010",
      "Free software for radio amateurs; use it at your own risk",
  };
  QString text;
  for (const char* line : lines) text += QString::fromLatin1(line) + QStringLiteral("\r\n");
  return text;
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About VELA"));
  setWindowIcon(ProgramIcon());
  setFont(DialogFont());
  setFixedSize(DluX(270), DluY(135));
  PlaceOverOwner(*this, {100, 50});
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(159, 220, 220));
  setPalette(palette);
  setAutoFillBackground(true);

  auto* title = new QLabel(QStringLiteral("VELA Terminal (beta version)"), this);
  title->setObjectName(QStringLiteral("c10001"));
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(14);
  font.setWeight(QFont::Normal);
  title->setFont(font);
  title->setAlignment(Qt::AlignCenter);
  title->setGeometry(DluX(5), DluY(5), DluX(205), DluY(15));

  auto* body = new QLabel(AboutText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")), this);
  body->setObjectName(QStringLiteral("c10002"));
  body->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  body->setGeometry(DluX(5), DluY(20), DluX(255), DluY(120));
}

std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& prompt,
                               const QString& initial) {
  QDialog dialog(parent);
  dialog.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(prompt, &dialog);
  label->setWordWrap(true);
  layout->addWidget(label);
  auto* edit = new QLineEdit(initial, &dialog);
  layout->addWidget(edit);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  dialog.resize(360, dialog.sizeHint().height());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return edit->text();
}

}  // namespace vela::app
