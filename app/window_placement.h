#pragma once

#include <QList>
#include <QRect>

namespace salvorine {

// Where to put a window whose client area the settings place at `client`:
// unchanged while its title bar (the `title_height` pixels above the client
// area) shows on some screen; otherwise moved onto the screen it overlaps
// most (the first when none), title bar included. A window larger than its
// screen is made as large as the screen and moved onto it whole. `screens`
// are the screens' available areas.
QRect PlacedOnScreen(const QRect& client, int title_height, const QList<QRect>& screens);

}  // namespace salvorine
