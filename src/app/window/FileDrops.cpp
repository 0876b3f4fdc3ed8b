#include "app/window/FileDrops.h"

#include <QAbstractScrollArea>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "app/TextCodec.h"

namespace vela::app {

DesktopResult ReadDroppedFile(const QString& path) {
  const QFileInfo info(path);
  const QString tooLarge =
      QStringLiteral("%1 is larger than 1 MiB; nothing added to the transmit text.")
          .arg(info.fileName());
  if (!info.isFile()) {
    return {{}, QStringLiteral("%1 is not a readable file; nothing added.").arg(info.fileName())};
  }
  if (info.size() > kMaxDroppedFileBytes) return {{}, tooLarge};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {{},
            QStringLiteral("%1 cannot be read (%2); nothing added.")
                .arg(info.fileName(), file.errorString())};
  }
  // The file may have grown since it was looked at.
  const QByteArray bytes = file.read(kMaxDroppedFileBytes + 1);
  if (bytes.size() > kMaxDroppedFileBytes) return {{}, tooLarge};
  return {DecodeText(bytes), {}};
}

FileDrops::FileDrops(std::function<bool(const QString& path)> take, QObject* parent)
    : QObject(parent), take_(std::move(take)) {}

bool FileDrops::HoldsLocalFile(const QMimeData* data) {
  return data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile();
}

void FileDrops::Watch(QAbstractScrollArea* pane) {
  pane->viewport()->installEventFilter(this);
}

void FileDrops::DragEnter(QDragEnterEvent* event) {
  if (HoldsLocalFile(event->mimeData())) event->acceptProposedAction();
}

void FileDrops::Drop(QDropEvent* event) {
  if (!HoldsLocalFile(event->mimeData())) return;
  if (take_(event->mimeData()->urls().first().toLocalFile())) event->acceptProposedAction();
}

bool FileDrops::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!drag->mimeData()->hasUrls()) break;
      if (HoldsLocalFile(drag->mimeData())) {
        drag->acceptProposedAction();
      } else {
        drag->ignore();
      }
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!drop->mimeData()->hasUrls()) break;
      Drop(drop);
      return true;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace vela::app
