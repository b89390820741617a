#include "widgets/toolbar_caption_fit.h"

#include <QEvent>
#include <QLayout>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

namespace salvorine {
namespace {

// The width `button` asks for with its caption under its icon, whatever it shows now.
// Measured on a stand-in, so the bar's own buttons change only when the choice does.
int CaptionedWidth(const QToolButton& button) {
  QToolButton probe;
  probe.setFont(button.font());
  probe.setIconSize(button.iconSize());
  probe.setIcon(button.icon());
  probe.setText(button.text());
  probe.setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  return std::max(probe.sizeHint().width(), button.minimumWidth());
}

// The width the bar's layout gives `button` as it is now.
int ShownWidth(const QToolButton& button) { return std::max(button.sizeHint().width(), button.minimumWidth()); }

}  // namespace

ToolBarCaptionFit::ToolBarCaptionFit(QToolBar& bar) : QObject(&bar), bar_(bar) { bar.installEventFilter(this); }

// A resize, or a layout asked for again after a font, a caption or a style changed.
bool ToolBarCaptionFit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &bar_ && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)) Fit();
  return QObject::eventFilter(watched, event);
}

void ToolBarCaptionFit::Fit() {
  if (bar_.layout() == nullptr) return;
  // The bar's width with every caption: its own width asked for, each button's part as it would be captioned.
  int needed = bar_.layout()->sizeHint().width();
  QList<QToolButton*> buttons;
  for (QToolButton* button : bar_.findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
    // The bar's own overflow button is none of its commands.
    if (button->objectName() == QLatin1String("qt_toolbar_ext_button")) continue;
    buttons.append(button);
    if (button->isVisibleTo(&bar_)) needed += CaptionedWidth(*button) - ShownWidth(*button);
  }
  const Qt::ToolButtonStyle style = needed <= bar_.width() ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly;
  for (QToolButton* button : buttons) {
    if (button->toolButtonStyle() != style) button->setToolButtonStyle(style);
  }
}

}  // namespace salvorine
