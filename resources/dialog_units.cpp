#include "resources/dialog_units.h"

#include <QFontMetrics>

#include <cstdlib>

#include "resources/utf8_text.h"

namespace tk::res {

QFont DialogFont(const DialogTemplate& dlg) {
  QFont font(FromUtf8(kDialogFamily), dlg.pointSize);
  // Without IPAPGothic, fall back to any face that has Japanese glyphs rather than to boxes.
  font.setStyleHint(QFont::SansSerif);
  font.setFamilies({FromUtf8(kDialogFamily), QStringLiteral("IPAGothic"),
                    QStringLiteral("Noto Sans CJK JP"), QStringLiteral("sans-serif")});
  return font;
}

QFont FixedPitchFont(const DialogTemplate& dlg) {
  QFont font(FromUtf8(kFixedPitchFamily), dlg.pointSize);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setFamilies({FromUtf8(kFixedPitchFamily), QStringLiteral("Noto Sans Mono CJK JP"),
                    QStringLiteral("monospace")});
  return font;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width is taken over the 52 Latin letters, as dialog units were always measured,
  // so that a face with wide Japanese glyphs does not stretch every layout.
  static const QString letters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  m_baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
  m_baseY = metrics.height();
  if (m_baseX < 1) m_baseX = 1;
  if (m_baseY < 1) m_baseY = 1;
}

int DialogUnits::Scale(int value, int base, int divisor) {
  const long long product = static_cast<long long>(value) * base;
  const long long half = divisor / 2;
  const long long rounded = product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
  return static_cast<int>(rounded);
}

}  // namespace tk::res
