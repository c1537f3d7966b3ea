// The one place that names the page classes, so that a page's own class replaces its plain stand-in
// here and nowhere else.
#include "shell/sheet_pages.h"

#include "pages/options_page.h"
#include "pages/start_page.h"
#include "resources/dialog_template.h"
#include "resources/string_table.h"
#include "shell/intro_page.h"
#include "shell/plain_page.h"

namespace tk {

SheetPages MakeWizardPages() {
  SheetPages pages;
  pages[kIntroPage] = std::make_unique<CIntroPg>();
  pages[kStartPage] = std::make_unique<CStartPg>();
  pages[kOptionsPage] = std::make_unique<CStep1Pg>();
  pages[kDownloadPage] =
      std::make_unique<CPlainPage>(res::kDlgDownload, res::kIdsDownloadWord, kWizFinish);
  return pages;
}

}  // namespace tk
