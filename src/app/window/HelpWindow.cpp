#include "app/window/HelpWindow.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// The built-in page lives in a static library: nothing would pull it in otherwise.
static void LoadBuiltInHelp() {
  Q_INIT_RESOURCE(help);
}

namespace vela::app {

namespace {

constexpr char kBuiltInPage[] = ":/vela-terminal/velahelp.htm";

}  // namespace

QString HelpPagePath() {
  LoadBuiltInHelp();
  const QString name = QStringLiteral("velahelp.htm");
  const QStringList candidates = {
      QCoreApplication::applicationDirPath() + u'/' + name,
      QStringLiteral(VELA_DATA_DIR "/") + name,
      name,
  };
  for (const QString& path : candidates) {
    if (QFileInfo::exists(path)) return QFileInfo(path).absoluteFilePath();
  }
  return QString::fromLatin1(kBuiltInPage);
}

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window), browser_(new QTextBrowser) {
  setObjectName(QStringLiteral("help"));
  setAttribute(Qt::WA_DeleteOnClose);
  browser_->setOpenExternalLinks(true);
  browser_->setAccessibleName(QStringLiteral("Operating guide"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  const QString path = HelpPagePath();
  browser_->setSource(path.startsWith(u':') ? QUrl(QStringLiteral("qrc") + path)
                                            : QUrl::fromLocalFile(path));
  setWindowTitle(browser_->documentTitle());
  connect(browser_, &QTextBrowser::sourceChanged, this,
          [this] { setWindowTitle(browser_->documentTitle()); });
  resize(640, 560);
  // Esc closes the guide, as it does a dialog.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
}

HelpWindow* HelpWindow::ShowFor(QWidget* owner) {
  auto* help = owner->findChild<HelpWindow*>(QStringLiteral("help"), Qt::FindDirectChildrenOnly);
  if (help == nullptr) help = new HelpWindow(owner);
  help->show();
  help->raise();
  help->activateWindow();
  return help;
}

}  // namespace vela::app
