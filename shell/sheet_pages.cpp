// The one place that names the page classes, so that a page's own class replaces its plain stand-in
// here and nowhere else.
#include "shell/sheet_pages.h"

#include "resources/dialog_template.h"
#include "resources/string_table.h"
#include "shell/intro_page.h"
#include "shell/plain_page.h"

namespace tk {

SheetPages MakeWizardPages() {
  SheetPages pages;
  pages[kIntroPage] = std::make_unique<CIntroPg>();
  pages[kStartPage] = std::make_unique<CPlainPage>(res::kDlgStart, res::kIdsStartWord, kWizBack | kWizNext);
  pages[kOptionsPage] =
      std::make_unique<CPlainPage>(res::kDlgOptions, res::kIdsOptionsWord, kWizBack | kWizNext);
  pages[kDownloadPage] =
      std::make_unique<CPlainPage>(res::kDlgDownload, res::kIdsDownloadWord, kWizFinish);
  return pages;
}

}  // namespace tk
