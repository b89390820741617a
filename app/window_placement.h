#pragma once

#include <QList>
#include <QMargins>
#include <QRect>

class QWidget;

namespace salvorine {

// Where to put a window whose client area the settings place at `client`:
// unchanged while its title bar (the `title_height` pixels above the client
// area) shows on some screen; otherwise moved onto the screen it overlaps
// most (the first when none), title bar included. A window larger than its
// screen is made as large as the screen and moved onto it whole. `screens`
// are the screens' available areas.
QRect PlacedOnScreen(const QRect& client, int title_height, const QList<QRect>& screens);

// Where a dialog whose client area is `client` sized opens: centred over
// `owner` (its owner window's frame; the screen's middle when it has none),
// no larger than `screen` (the available area) leaves it with its `frame`,
// and moved onto that screen whole, title bar first.
QRect PlacedOverOwner(QSize client, const QMargins& frame, const QRect& owner, const QRect& screen);

// Places `dialog` by PlacedOverOwner on the screen of its owner window (its
// own when it has none), before it shows.
void PlaceOverOwner(QWidget& dialog);

}  // namespace salvorine
