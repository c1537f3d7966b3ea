#include "inet/url.h"
#include "engine/crawler.h"  // against
