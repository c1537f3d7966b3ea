#pragma once
// Start-up: the command line, the intro preference, the histories, the project, then the wizard
// sheet run modally as the only window. Nothing is saved at exit.
#include <QStringList>

#include <memory>
#include <string>

namespace tk {

class CTrawlSheet;

class CTrawlApp {
 public:
  // The first argument after the program's name that is not a flag, or "" when there is none.
  // Flags begin with "-" (Qt's own options among them) or "/". A "/" that begins an absolute path
  // does not make a flag: "/p" is one, "/home/u/site.tkp" and an existing "/site.tkp" are not.
  static std::string ProjectArgument(const QStringList& arguments);

  // Everything up to the modal run: preference, histories, project, and the sheet to run.
  std::unique_ptr<CTrawlSheet> InitInstance(const QStringList& arguments);
  // Start-up, the modal run and the end; the process's exit code.
  int Run(const QStringList& arguments);
};

}  // namespace tk
