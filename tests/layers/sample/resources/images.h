#include "settings/text.h"
#include <QIcon>
#include "shell/trawl_sheet.h"  // against
