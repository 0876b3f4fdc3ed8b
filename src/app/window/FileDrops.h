// Files dropped on the window or on one of its panes go into the transmit text. The panes
// would take a dropped file as a link, so their viewports are watched and the drop is
// handed to the window instead.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "app/window/DesktopActions.h"

class QAbstractScrollArea;
class QDragEnterEvent;
class QDropEvent;
class QMimeData;

namespace vela::app {

inline constexpr int kMaxDroppedFileBytes = 1 << 20;

// The text of a dropped file (UTF-8 or Windows-1252) of at most 1 MiB.
DesktopResult ReadDroppedFile(const QString& path);

class FileDrops : public QObject {
  Q_OBJECT
 public:
  // `take` gets the path of the first local file of a drop, and says whether it took it.
  FileDrops(std::function<bool(const QString& path)> take, QObject* parent);

  void Watch(QAbstractScrollArea* pane);
  void DragEnter(QDragEnterEvent* event);
  void Drop(QDropEvent* event);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  static bool HoldsLocalFile(const QMimeData* data);

  std::function<bool(const QString&)> take_;
};

}  // namespace vela::app
