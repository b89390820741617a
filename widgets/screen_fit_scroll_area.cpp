#include "widgets/screen_fit_scroll_area.h"

#include <QEvent>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>

namespace salvorine {

ScreenFitScrollArea::ScreenFitScrollArea(QWidget* panel, QWidget* parent) : QScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWidgetResizable(true);
  setFocusPolicy(Qt::NoFocus);  // the panel's own controls take the focus, not the area around them
  setWidget(panel);
  // Never taller than the panel; as short as the window's fit asks for (Fit sets the least height).
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  setMinimumHeight(panel->sizeHint().height());
  panel->installEventFilter(this);
}

// The panel's layout changed (a font, a text, a style), or the window was laid out again.
bool ScreenFitScrollArea::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) Fit();
  return QScrollArea::eventFilter(watched, event);
}

// Watches the window as well once it is the one shown: its other parts' least heights count too.
void ScreenFitScrollArea::showEvent(QShowEvent* event) {
  QScrollArea::showEvent(event);
  if (window() != this) window()->installEventFilter(this);
  Fit();
}

void ScreenFitScrollArea::Fit() {
  QWidget* top = window();
  const QScreen* shown_on = top->screen();
  if (top == this || shown_on == nullptr) return;
  const int whole = widget()->sizeHint().height();
  // The window's least height without this area, and what its title bar and frame take of the screen.
  const int rest = top->minimumSizeHint().height() - minimumHeight();
  const int frame = top->isVisible() ? top->frameGeometry().height() - top->height() : 0;
  const int room = shown_on->availableGeometry().height() - frame - rest;
  // At the least a line of the panel, with the scroll bar beside it.
  const int least = std::max(fontMetrics().height() * 2, verticalScrollBar()->minimumSizeHint().height());
  const int height = std::clamp(room, std::min(least, whole), whole);
  if (height != minimumHeight()) setMinimumHeight(height);
}

}  // namespace salvorine
