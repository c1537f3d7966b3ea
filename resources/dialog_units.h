#pragma once
// Dialog units: a layout's coordinates scale with its font. One horizontal unit is a quarter of
// the font's average character width, one vertical unit an eighth of its line height, so a layout
// drawn for one font keeps its proportions in another.
#include <QFont>
#include <QRect>
#include <QSize>

#include "resources/dialog_template.h"

namespace tk::res {

// The face every layout asks for: the proportional gothic of fonts-ipafont-gothic, which has the
// Japanese glyphs that the layouts' own fonts had.
inline constexpr const char* kDialogFamily = "IPAPGothic";
// Its fixed-pitch sister in the same package, for text laid out in columns with blanks and tabs.
inline constexpr const char* kFixedPitchFamily = "IPAGothic";

QFont DialogFont(const DialogTemplate& dlg);
QFont FixedPitchFont(const DialogTemplate& dlg);

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

  int BaseX() const { return m_baseX; }
  int BaseY() const { return m_baseY; }
  int X(int units) const { return Scale(units, m_baseX, 4); }
  int Y(int units) const { return Scale(units, m_baseY, 8); }
  QRect Rect(int x, int y, int cx, int cy) const { return {X(x), Y(y), X(cx), Y(cy)}; }
  QSize Size(int cx, int cy) const { return {X(cx), Y(cy)}; }

 private:
  // Rounded to the nearest pixel, halves away from zero, like the platform's MulDiv.
  static int Scale(int value, int base, int divisor);

  int m_baseX = 0;
  int m_baseY = 0;
};

}  // namespace tk::res
