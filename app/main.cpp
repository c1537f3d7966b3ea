#include <QApplication>

#include <csignal>
#include <iostream>

#include "app/command_line.h"
#include "app/qt_translations.h"
#include "app/trawl_app.h"
#include "resources/images.h"

int main(int argc, char** argv) {
  // Under a file size limit (ulimit -f) a write past it fails with EFBIG, which a run logs as a
  // failed file and goes on, instead of the signal ending the program mid-run.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (auto status = tk::HandleCommandLine(args, std::cout, std::cerr)) return *status;
  QApplication app(argc, argv);
  tk::InstallQtTranslations(app);
  QApplication::setApplicationName(QStringLiteral("trawlkit"));
  QApplication::setApplicationVersion(QStringLiteral(TRAWLKIT_VERSION));
  // Lets Wayland compositors match the window with trawlkit.desktop and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("trawlkit"));
  QApplication::setWindowIcon(tk::res::LoadIcon(tk::res::kIconProduct));
  tk::CTrawlApp trawl;
  return trawl.Run(QApplication::arguments());
}
