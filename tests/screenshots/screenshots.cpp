// Renders the wizard's pages, its dialogs and the artwork offscreen to PNG files, at 100% or at the
// scale given with --scale (e.g. 2 for 200%). Usage: trawlkit_screenshots [--scale N] [OUT_DIR]
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/sheet_pages.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_template.h"
#include "resources/images.h"
#include "settings/project.h"
#include "shell/about_box.h"
#include "shell/trawl_sheet.h"
#include "shell/wizard_page.h"

namespace {

void Save(QWidget* widget, const QDir& dir, const QString& name) {
  widget->show();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  const QString path = dir.filePath(name + QStringLiteral(".png"));
  if (!widget->grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  widget->hide();
}

void SheetPages(const QDir& dir) {
  tk::CTrawlSheet sheet(tk::MakeWizardPages(), tk::kIntroPage);
  const char* names[] = {"page_intro", "page_start", "page_options", "page_download"};
  sheet.show();
  for (int i = 0; i < tk::kPageCount; ++i) {
    sheet.SetActivePage(i);
    Save(&sheet, dir, QString::fromLatin1(names[i]));
    sheet.show();
  }
  sheet.hide();
}

void PlainDialogs(const QDir& dir) {
  for (const tk::res::DialogTemplate* dlg : tk::res::AllDialogs()) {
    QDialog dialog;
    tk::res::BuildDialog(*dlg, &dialog);
    Save(&dialog, dir, QStringLiteral("layout_%1").arg(dlg->id));
  }
  tk::CAboutBox about;
  Save(&about, dir, QStringLiteral("about_box"));
}

void Artwork(const QDir& dir, qreal scale) {
  const int ids[] = {128, 136, 137, 138, 139, 140, 141, 142, 146, 147, 148, 149, 150, 151,
                     154, 155, 156, 165, 166, 167, 172, 174};
  const int cell = 48;
  QPixmap sheet(QSize(cell * 11, cell * 2) * scale);
  sheet.setDevicePixelRatio(scale);
  sheet.fill(QColor(0xf0, 0xf0, 0xf0));
  QPainter painter(&sheet);
  int i = 0;
  for (int id : ids) {
    const QPixmap picture = tk::res::LoadPixmap(id, tk::res::NaturalSize(id), scale);
    painter.drawPixmap(QPoint((i % 11) * cell + 4, (i / 11) * cell + 4), picture);
    ++i;
  }
  painter.end();
  sheet.save(dir.filePath(QStringLiteral("artwork.png")));
}

// The product icon as PNG files of the sizes desktops look for first; the results are committed
// under resources/desktop/hicolor/ and installed beside the scalable icon.
void ProductIcons(const QDir& dir) {
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
    dir.mkpath(folder);
    tk::res::LoadPixmap(tk::res::kIconProduct, QSize(size, size))
        .save(dir.filePath(folder + QStringLiteral("/trawlkit.png")));
  }
}

}  // namespace

// monitor_shots.cpp: the download page during and after a run, and the run's dialogs.
void MonitorShots(const QDir& dir);

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  qreal scale = 1.0;
  QString out = QStringLiteral("screenshots");
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--scale" && i + 1 < argc) {
      scale = std::atof(argv[++i]);
      setenv("QT_SCALE_FACTOR", argv[i], 1);
    } else {
      out = QString::fromLocal8Bit(argv[i]);
    }
  }
  QApplication app(argc, argv);
  QDir dir;
  dir.mkpath(out);
  dir.cd(out);
  tk::LoadProject("");
  // Showing the download page starts a run, whose log goes into the save folder.
  QTemporaryDir saveDir;
  tk::Project().SaveDir = saveDir.path().toStdString();
  SheetPages(dir);
  PlainDialogs(dir);
  Artwork(dir, scale);
  ProductIcons(dir);
  MonitorShots(dir);
  std::printf("screenshots written to %s\n", qPrintable(dir.absolutePath()));
  return 0;
}
