#include "app/window_placement.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace salvorine {
namespace {

// Enough of the title bar to grab it with the mouse.
constexpr int kGrabbableWidth = 64;

long long Area(const QRect& rect) { return rect.isEmpty() ? 0 : 1ll * rect.width() * rect.height(); }

bool TitleBarShows(const QRect& title_bar, const QRect& screen) {
  const QRect shown = title_bar.intersected(screen);
  return shown.height() == title_bar.height() && shown.width() >= std::min(kGrabbableWidth, title_bar.width());
}

}  // namespace

QRect PlacedOnScreen(const QRect& client, int title_height, const QList<QRect>& screens) {
  if (screens.isEmpty()) return client;
  const QRect title_bar(client.left(), client.top() - title_height, client.width(), std::max(1, title_height));
  const QRect* target = nullptr;
  for (const QRect& screen : screens) {
    if (TitleBarShows(title_bar, screen)) {
      target = &screen;
      break;
    }
  }
  // A size saved on a larger screen (or at a smaller scale) is cut to the screen's.
  const auto fitted = [&](const QRect& screen) {
    return QSize(std::min(client.width(), screen.width()),
                 std::min(client.height(), std::max(1, screen.height() - title_height)));
  };
  if (target != nullptr && fitted(*target) == client.size()) return client;
  if (target == nullptr) {
    const QRect outer = client.adjusted(0, -title_height, 0, 0);
    target = &screens.front();
    for (const QRect& screen : screens) {
      if (Area(outer.intersected(screen)) > Area(outer.intersected(*target))) target = &screen;
    }
  }
  // As much of the window as fits, the title bar first.
  const QSize size = fitted(*target);
  const int left = std::clamp(client.left(), target->left(), std::max(target->left(), target->right() + 1 - size.width()));
  const int lowest_top = target->top() + title_height;
  const int top = std::clamp(client.top(), lowest_top, std::max(lowest_top, target->bottom() + 1 - size.height()));
  return QRect(QPoint(left, top), size);
}

QRect PlacedOverOwner(QSize client, const QMargins& frame, const QRect& owner, const QRect& screen) {
  const QRect room = screen - frame;
  const QSize size = client.boundedTo(room.size()).expandedTo(QSize(1, 1));
  const QPoint centre = owner.isEmpty() ? screen.center() : owner.center();
  QRect placed(QPoint(0, 0), size);
  placed.moveCenter(centre);
  const int left = std::clamp(placed.left(), room.left(), std::max(room.left(), room.right() + 1 - size.width()));
  const int top = std::clamp(placed.top(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
  return QRect(QPoint(left, top), size);
}

void PlaceOverOwner(QWidget& dialog) {
  const QWidget* owner = dialog.parentWidget() != nullptr ? dialog.parentWidget()->window() : nullptr;
  const bool over_owner = owner != nullptr && owner->isVisible();
  const QScreen* screen = over_owner ? owner->screen() : dialog.screen();
  if (screen == nullptr) return;
  // Before its first showing a dialog has no frame yet: a title bar of the style's height.
  QMargins frame(dialog.geometry().left() - dialog.frameGeometry().left(),
                 dialog.geometry().top() - dialog.frameGeometry().top(),
                 dialog.frameGeometry().right() - dialog.geometry().right(),
                 dialog.frameGeometry().bottom() - dialog.geometry().bottom());
  if (frame.top() <= 0) frame.setTop(dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight));
  const QRect placed = PlacedOverOwner(dialog.size(), frame, over_owner ? owner->frameGeometry() : QRect(),
                                       screen->availableGeometry());
  // A dialog of a fixed size larger than the screen keeps a fixed size, the screen's.
  if (placed.size() != dialog.size()) {
    dialog.minimumSize() == dialog.maximumSize() ? dialog.setFixedSize(placed.size()) : dialog.resize(placed.size());
  }
  dialog.move(placed.topLeft() - QPoint(frame.left(), frame.top()));
}

}  // namespace salvorine
