#include "inet/url.h"
#include "base/ascii.h"
#include "settings/text.h"  // against
#include <curl/curl.h>
