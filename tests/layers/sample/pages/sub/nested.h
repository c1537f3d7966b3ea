#include "shell/wizard_page.h"
  #  include "monitor/step2_pg.h"  // against
