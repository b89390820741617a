#include "app/window_placement.h"

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

}  // namespace salvorine
