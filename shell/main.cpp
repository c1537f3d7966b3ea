#include <QApplication>

#include "resources/images.h"
#include "shell/trawl_app.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("trawlkit"));
  QApplication::setApplicationVersion(QStringLiteral(TRAWLKIT_VERSION));
  // Lets Wayland compositors match the window with trawlkit.desktop and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("trawlkit"));
  QApplication::setWindowIcon(tk::res::LoadIcon(tk::res::kIconProduct));
  tk::CTrawlApp trawl;
  return trawl.Run(QApplication::arguments());
}
