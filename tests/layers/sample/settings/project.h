#include "base/ascii.h"
#include "settings/ini_file.h"
#include "inet/url.h"  // against
#include <QString>  // against
#include <string>
