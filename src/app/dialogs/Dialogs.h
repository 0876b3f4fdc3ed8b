// The small dialogs of the terminal: PTT port picker, output mode, sound-card choice, macro
// definition, About box and the one-line input box.
#pragma once

#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "app/dialogs/OperatorPrompts.h"
#include "app/dialogs/PttDialog.h"
#include "app/settings/Preferences.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

namespace vela::app {

// The classic 11-pixel dialog font the window's control sizes were chosen for, with the
// nearest sans-serif this computer has.
QFont DialogFont();
// The program's icon, drawn: a sine wave over a baseline, for the window and its dialogs.
QIcon ProgramIcon();

class OutputModeDialog : public QDialog {
  Q_OBJECT
 public:
  // `mode` 0 mono, 1 I and Q. A choice is in force at once; there is nothing to confirm.
  explicit OutputModeDialog(int mode, QWidget* parent = nullptr);
  int mode() const { return mode_; }

 signals:
  void modeChosen(int mode);

 private:
  QButtonGroup* group_;
  int mode_;
};

// Dialog units of the classic dialog font, in pixels.
QPoint DialogUnits(int x, int y);

class SoundcardDialog : public QDialog {
  Q_OBJECT
 public:
  // Owned by no window, it opens at this place on the screen, in pixels.
  static constexpr QPoint kPosition{100, 100};
  static constexpr char kNoDevicesText[] = "You have no audio input devices!";

  // With no devices the operator is warned once it shows, and it stays open, empty.
  SoundcardDialog(const QStringList& devices, int current, QWidget* parent = nullptr);
  // The chosen row after "Select", or -1.
  int chosen() const { return chosen_; }
  QComboBox* combo() const { return combo_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QComboBox* combo_;
  int chosen_ = -1;
};

// A macro button's label and text, redefined by a right click on the button.
class MacroDialog : public QDialog {
  Q_OBJECT
 public:
  // `index` 0..7 for F1..F8.
  MacroDialog(int index, const MacroEntry& macro, QWidget* parent = nullptr);
  MacroEntry macro() const;

  // The new definition after OK; none after CANCEL or closing.
  static std::optional<MacroEntry> Ask(int index, const MacroEntry& macro, QWidget* parent);

 private:
  QLineEdit* label_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
};

// The delayed-receive end marker or the secondary-channel text, in a box of a few lines.
class TextBoxDialog : public QDialog {
  Q_OBJECT
 public:
  TextBoxDialog(TextBox box, const QString& initial, QWidget* owner);
  QString text() const;

 private:
  QPlainTextEdit* edit_;
};

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent = nullptr);
  static QString AboutText();
};

// A prompt, one edit field, OK and Cancel. No value after Cancel or closing.
std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& prompt,
                               const QString& initial);

}  // namespace vela::app
