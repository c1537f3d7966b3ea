#pragma once
// A label of tab-separated fields, each of which starts at a column of its own. Plain tab stops
// fail in a proportional font: once a number is wider than its stop allows, it pushes every
// later field one stop to the right, away from its heading.
#include <QLabel>
#include <QPointer>
#include <QVector>

namespace tk {

class CColumnLabel : public QLabel {
  Q_OBJECT

 public:
  explicit CColumnLabel(QWidget* parent = nullptr);

  // The fields are drawn under the fields of `heading`, the last under the last: the heading
  // may have a caption of its own in front. Without a heading, a field goes where a tab
  // expanded from the field before would put it.
  void AlignUnder(const CColumnLabel* heading);

  // Where each non-empty field of the text begins, in pixels from the left of the contents.
  QVector<int> Columns() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPointer<const CColumnLabel> m_heading;
};

}  // namespace tk
