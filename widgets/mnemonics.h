#pragma once

#include <QList>

class QAction;

namespace salvorine {

// Gives each of `actions` (one menu's items, or a menu bar's menus) a mnemonic
// of its own: the first letter of its text not taken by an item before it,
// marked with "&". A mnemonic already there is replaced. Separators and texts
// without a free letter are left as they are.
void AssignMnemonics(const QList<QAction*>& actions);

}  // namespace salvorine
