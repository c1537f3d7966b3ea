// The one place that names the wizard's page classes; the sheet and its tests take pages from
// here or from their own stand-ins (CPlainPage).
#include "app/sheet_pages.h"

#include "monitor/step2_pg.h"
#include "pages/intro_pg.h"
#include "pages/start_pg.h"
#include "pages/step1_pg.h"

namespace tk {

SheetPages MakeWizardPages() {
  SheetPages pages;
  pages[kIntroPage] = std::make_unique<CIntroPg>();
  pages[kStartPage] = std::make_unique<CStartPg>();
  pages[kOptionsPage] = std::make_unique<CStep1Pg>();
  pages[kDownloadPage] = std::make_unique<CStep2Pg>();
  return pages;
}

}  // namespace tk
