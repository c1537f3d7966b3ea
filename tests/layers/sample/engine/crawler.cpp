#include "links/scanner.h"
#include "settings/project.h"
#include "cli/cli_main.h"  // against
#include "resources/images.h"  // against
