#include "app/trawl_app.h"

#include <QFileInfo>

#include <filesystem>

#include "app/sheet_pages.h"
#include "pages/intro_pg.h"
#include "settings/history.h"
#include "settings/project.h"
#include "shell/trawl_sheet.h"

namespace tk {
namespace {

bool IsFlag(const QString& argument) {
  if (argument.startsWith(QLatin1Char('-'))) return true;
  if (!argument.startsWith(QLatin1Char('/'))) return false;
  // On this platform "/" also starts every absolute path, which is how file managers pass a
  // project to open; only a single "/word" that names no file is taken for a flag.
  return argument.indexOf(QLatin1Char('/'), 1) < 0 && !QFileInfo::exists(argument);
}

}  // namespace

std::string CTrawlApp::ProjectArgument(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (IsFlag(arguments[i])) continue;
    std::string name = arguments[i].toStdString();
    // Made absolute here: nothing changes the current folder later, and a bare name would be
    // taken for a project not yet placed in a folder.
    std::error_code ec;
    if (!name.empty() && std::filesystem::path(name).is_relative()) {
      const auto absolute = std::filesystem::absolute(name, ec);
      if (!ec) name = absolute.string();
    }
    return name;
  }
  return {};
}

std::unique_ptr<CTrawlSheet> CTrawlApp::InitInstance(const QStringList& arguments) {
  const std::string projectName = ProjectArgument(arguments);
  // The histories come first, so that a project named on the command line joins the stored
  // project history instead of replacing it.
  LoadHideIntro();
  LoadHistories();
  LoadProject(projectName);
  return std::make_unique<CTrawlSheet>(MakeWizardPages(), HideIntro() ? kStartPage : kIntroPage);
}

int CTrawlApp::Run(const QStringList& arguments) {
  std::unique_ptr<CTrawlSheet> sheet = InitInstance(arguments);
  sheet->exec();
  sheet.reset();
  return 0;
}

}  // namespace tk
