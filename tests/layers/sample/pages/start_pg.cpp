#include "shell/trawl_sheet.h"
#include "engine/crawler.h"
#include "monitor/step2_pg.h"  // against
#include "cli/netrc.h"  // against
