#pragma once
// Icons and bitmaps by their resource ids, drawn from the SVG artwork compiled into the program.
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace tk::res {

inline constexpr int kIconProduct = 128;
inline constexpr int kIconDeleteFirst = 136;  // six frames, 136 (at rest) to 141
inline constexpr int kIconAdd = 142;
inline constexpr int kIconGlobe3 = 146;
inline constexpr int kIconGlobe2 = 147;
inline constexpr int kIconGlobe1 = 148;
inline constexpr int kIconComputer = 149;
inline constexpr int kIconComputerFlash = 150;
inline constexpr int kIconOpenProject = 151;
inline constexpr int kBitmapTruckFirst = 154;  // three frames, 154 to 156
inline constexpr int kBitmapMarkExcluded = 165;
inline constexpr int kBitmapMarkPartial = 166;
inline constexpr int kBitmapMarkEmpty = 167;
inline constexpr int kIconOverwrite = 172;
inline constexpr int kIconBlank = 174;

// ":/trawlkit/..." of the artwork, or an empty string for an id the program does not have.
QString ImagePath(int id);
// Size at 100%: 32 x 32 for icons, 40 x 30 for the truck, 12 x 11 for the tree marks.
QSize NaturalSize(int id);
// A null icon for an unknown id, as a failed load leaves a control without a picture.
QIcon LoadIcon(int id);
// The picture at `size` logical pixels for a screen of `devicePixelRatio`.
QPixmap LoadPixmap(int id, QSize size, qreal devicePixelRatio = 1.0);
// A bitmap at its natural size.
QPixmap LoadBitmap(int id, qreal devicePixelRatio = 1.0);

}  // namespace tk::res
