#include "engine/crawler.h"
#include "inet/url.h"
#include "pages/url_service.h"  // against
#include <QCoreApplication>  // against
