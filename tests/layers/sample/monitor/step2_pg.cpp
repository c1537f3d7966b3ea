#include "pages/step1_pg.h"
#include "shell/trawl_sheet.h"
#include "app/trawl_app.h"  // against
