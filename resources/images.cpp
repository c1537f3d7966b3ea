#include "resources/images.h"

#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <array>
#include <utility>

#include "resources/utf8_text.h"

namespace tk::res {
namespace {

constexpr std::array<std::pair<int, const char*>, 22> kFiles{{
    {128, "icon128_product.svg"},  {136, "icon136_delete0.svg"},
    {137, "icon137_delete1.svg"},  {138, "icon138_delete2.svg"},
    {139, "icon139_delete3.svg"},  {140, "icon140_delete4.svg"},
    {141, "icon141_delete5.svg"},  {142, "icon142_add.svg"},
    {146, "icon146_globe.svg"},    {147, "icon147_globe.svg"},
    {148, "icon148_globe.svg"},    {149, "icon149_computer.svg"},
    {150, "icon150_computer_flash.svg"}, {151, "icon151_open.svg"},
    {154, "bitmap154_truck.svg"},  {155, "bitmap155_truck.svg"},
    {156, "bitmap156_truck.svg"},  {165, "bitmap165_checked.svg"},
    {166, "bitmap166_partial.svg"}, {167, "bitmap167_empty.svg"},
    {172, "icon172_overwrite.svg"}, {174, "icon174_blank.svg"},
}};

}  // namespace

QString ImagePath(int id) {
  for (const auto& [key, file] : kFiles)
    if (key == id) return QStringLiteral(":/trawlkit/") + FromUtf8(file);
  return {};
}

QSize NaturalSize(int id) {
  if (id >= kBitmapTruckFirst && id < kBitmapTruckFirst + 3) return {40, 30};
  if (id >= kBitmapMarkExcluded && id <= kBitmapMarkEmpty) return {12, 11};
  return {32, 32};
}

QPixmap LoadPixmap(int id, QSize size, qreal devicePixelRatio) {
  const QString path = ImagePath(id);
  if (path.isEmpty()) return {};
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  QPixmap pixmap(size * devicePixelRatio);
  pixmap.fill(Qt::transparent);
  {
    QPainter painter(&pixmap);
    renderer.render(&painter);
  }
  pixmap.setDevicePixelRatio(devicePixelRatio);
  return pixmap;
}

QPixmap LoadBitmap(int id, qreal devicePixelRatio) {
  return LoadPixmap(id, NaturalSize(id), devicePixelRatio);
}

QIcon LoadIcon(int id) {
  // Icons are loaded on the GUI thread only, and animations ask for the same few again and again.
  static QHash<int, QIcon> cache;
  if (auto it = cache.constFind(id); it != cache.constEnd()) return *it;
  // Rendered at the sizes a dialog asks for, each also at 200%, so no scaled bitmap is ever shown.
  QIcon icon;
  for (int size : {16, 24, 32, 48}) {
    for (qreal dpr : {1.0, 2.0}) {
      QPixmap pixmap = LoadPixmap(id, QSize(size, size), dpr);
      if (pixmap.isNull()) return {};
      icon.addPixmap(pixmap);
    }
  }
  cache.insert(id, icon);
  return icon;
}

}  // namespace tk::res
