#include "resources/images.h"
#include <QDialog>
#include "pages/step1_pg.h"  // against
#include "app/sheet_pages.h"  // against
