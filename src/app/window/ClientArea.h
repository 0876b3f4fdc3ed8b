// The main window's client area: everything under the menu bar, status bar included, as
// the control positions count it. It builds the controls at their design places, names
// each "c<id>" and gives each a name and description for screen readers, lays them out as
// the window grows (the panes and the waterfall take the room), and reports clicks on its
// command buttons and right clicks on its context-help carriers by id; what they do is the
// window's concern.
#pragma once

#include <QRect>
#include <QWidget>
#include <array>
#include <vector>

#include "app/settings/Preferences.h"
#include "app/window/Commands.h"
#include "app/window/WindowArithmetic.h"

class QButtonGroup;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTextEdit;

namespace vela::app {

class EyeDiagramView;
class FrequencyScaleView;
class LevelBarView;
class SquelchBarView;
class StatusBar;
class UpDownControl;
class WaterfallView;

struct WindowControls {
  QTextEdit* receivePane = nullptr;
  QTextEdit* secondaryPane = nullptr;
  QPlainTextEdit* transmitPane = nullptr;
  std::array<QPushButton*, 8> macroButtons{};
  QPushButton* sendButton = nullptr;
  QPushButton* delayedReceiveButton = nullptr;
  QPushButton* cwIdButton = nullptr;
  std::array<QRadioButton*, 4> modeButtons{};
  QButtonGroup* modeGroup = nullptr;
  QSlider* fineTune = nullptr;
  QLabel* sampleRate = nullptr;
  UpDownControl* sampleRateTrim = nullptr;
  EyeDiagramView* eye = nullptr;
  LevelBarView* levelBar = nullptr;
  SquelchBarView* squelchBar = nullptr;
  FrequencyScaleView* scale = nullptr;
  WaterfallView* waterfall = nullptr;
  StatusBar* statusBar = nullptr;
};

class ClientArea : public QWidget {
  Q_OBJECT
 public:
  // The receive pane's id, which also carries its context-help menu.
  static constexpr int kReceivePaneId = 320;
  // The client area the control positions were designed for; also its smallest size.
  static constexpr int kDesignWidth = 727;

  // The macro buttons carry the labels of `macros`.
  ClientArea(const std::array<MacroEntry, Preferences::kMacroCount>& macros, QWidget* parent);

  const WindowControls& controls() const { return controls_; }
  QWidget* control(int id) const;
  int layoutOffset() const { return layoutOffset_; }

 signals:
  // A command button or mode button was clicked.
  void commandClicked(int id);
  // A right click on a control that carries context help; `globalPos` is where.
  void contextHelpRequested(int id, QPoint globalPos);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // How a control follows a wider window: it stays, it widens with it, it takes its share
  // of the macro row, or it keeps to the right-hand edge.
  enum class Anchor { Left, Stretch, MacroRow, Right };
  struct Placement {
    QWidget* widget;
    QRect design;
    bool followsOffset;
    Anchor anchor;
  };

  void BuildDisplays();
  void BuildModeButtons();
  void BuildPanes();
  void BuildTuning();
  void BuildTransmitButtons(const std::array<MacroEntry, Preferences::kMacroCount>& macros);
  void ConnectContextHelp();
  QPushButton* AddCommandButton(CommandId command, const QString& caption, QRect design);
  void AddLabel(const QString& text, int id, QRect design);
  void Place(QWidget* widget, int id, QRect design, bool followsOffset = true);
  void Relayout(QSize client);
  QRect LaidOut(const Placement& p, const HeightShares& grow, int widthGrow) const;
  void DescribeControls();

  WindowControls controls_;
  std::vector<Placement> placements_;
  int layoutOffset_ = 0;
};

}  // namespace vela::app
