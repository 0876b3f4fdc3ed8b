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

#include "app/Preferences.h"
#include "app/PttDialog.h"

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

class SoundcardDialog : public QDialog {
  Q_OBJECT
 public:
  SoundcardDialog(const QStringList& devices, int current, QWidget* parent = nullptr);
  // The chosen row after "Select", or -1.
  int chosen() const { return chosen_; }
  QComboBox* combo() const { return combo_; }

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
