#include "monitor/step2_pg.h"
#include "resources/images.h"
#include "cli/cli_main.h"  // against
#include "support/fake_net.h"  // against
#include "trawl_app.h"  // against
