#pragma once

#include <QLabel>

namespace salvorine {

// A one-line label that never widens its window: a text longer than the
// label's width is cut at the end with "…", and its whole text is the
// tooltip (its own tooltip, when one is set, says more and wins).
class ElidedLabel : public QLabel {
 public:
  explicit ElidedLabel(QWidget* parent = nullptr);

  // The text as painted at the label's present width.
  QString ShownText() const;
  // What the tooltip says: the tooltip set, else the whole text when it is cut, else nothing.
  QString TipText() const;

  QSize minimumSizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect TextRect() const;
};

}  // namespace salvorine
