#include "widgets/elided_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace salvorine {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
}

QRect ElidedLabel::TextRect() const { return contentsRect().adjusted(margin(), margin(), -margin(), -margin()); }

QString ElidedLabel::ShownText() const { return fontMetrics().elidedText(text(), Qt::ElideRight, TextRect().width()); }

QString ElidedLabel::TipText() const {
  if (!toolTip().isEmpty()) return toolTip();
  return ShownText() == text() ? QString() : text();
}

// As high as one line, as narrow as the ellipsis alone.
QSize ElidedLabel::minimumSizeHint() const {
  QSize size = QLabel::minimumSizeHint();
  size.setWidth(fontMetrics().horizontalAdvance(QStringLiteral("…")) + 2 * margin() + frameWidth() * 2);
  return size;
}

bool ElidedLabel::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip || !toolTip().isEmpty()) return QLabel::event(event);
  const QString tip = TipText();
  if (tip.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, this);
  }
  return true;
}

void ElidedLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  drawFrame(&painter);
  style()->drawItemText(&painter, TextRect(), static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())),
                        palette(), isEnabled(), ShownText(), foregroundRole());
}

}  // namespace salvorine
