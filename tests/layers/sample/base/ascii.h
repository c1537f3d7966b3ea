#include "settings/text.h"  // against
#include <string>
