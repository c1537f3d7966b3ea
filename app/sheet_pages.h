#pragma once
#include "shell/trawl_sheet.h"

namespace tk {

// The wizard's four pages in their order: intro, start, options, download.
SheetPages MakeWizardPages();

}  // namespace tk
