#include "monitor/column_label.h"

#include <QPainter>

namespace tk {
namespace {

struct Field {
  QString text;
  int x = 0;
};

// The non-empty fields of `text` with the places tab expansion gives them. The padding that
// right-aligned a number for tab stops is dropped: each field is placed by its column instead.
QVector<Field> SplitFields(const QString& text, const QFontMetrics& metrics) {
  const int tabStop = 8 * metrics.horizontalAdvance(QLatin1Char('x'));
  QVector<Field> fields;
  const QStringList parts = text.split(QLatin1Char('\t'));
  int x = 0;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    if (i > 0) x = (x / tabStop + 1) * tabStop;
    const QString trimmed = parts[i].trimmed();
    if (!trimmed.isEmpty()) fields.append({trimmed, x});
    x += metrics.horizontalAdvance(parts[i]);
  }
  return fields;
}

}  // namespace

CColumnLabel::CColumnLabel(QWidget* parent) : QLabel(parent) {}

void CColumnLabel::AlignUnder(const CColumnLabel* heading) {
  m_heading = heading;
  update();
}

QVector<int> CColumnLabel::Columns() const {
  QVector<int> columns;
  for (const Field& f : SplitFields(text(), fontMetrics())) columns.append(f.x);
  return columns;
}

void CColumnLabel::paintEvent(QPaintEvent*) {
  QVector<Field> fields = SplitFields(text(), fontMetrics());
  if (m_heading) {
    const QVector<int> columns = m_heading->Columns();
    const int offset = m_heading->mapTo(window(), m_heading->contentsRect().topLeft()).x() -
                       mapTo(window(), contentsRect().topLeft()).x();
    const qsizetype shift = columns.size() - fields.size();
    for (qsizetype i = 0; i < fields.size(); ++i)
      if (i + shift >= 0) fields[i].x = columns[i + shift] + offset;
  }
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  const QRect area = contentsRect();
  for (const Field& f : fields)
    painter.drawText(QRect(area.left() + f.x, area.top(), std::max(0, area.width() - f.x), area.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, f.text);
}

}  // namespace tk
