#include "widgets/mnemonics.h"

#include <QAction>
#include <QSet>

namespace salvorine {

void AssignMnemonics(const QList<QAction*>& actions) {
  QSet<QChar> taken;
  for (QAction* action : actions) {
    if (action->isSeparator()) continue;
    QString text = action->text();
    text.remove(QLatin1Char('&'));
    for (qsizetype i = 0; i < text.size(); ++i) {
      const QChar letter = text[i].toLower();
      if (!letter.isLetter() || taken.contains(letter)) continue;
      taken.insert(letter);
      text.insert(i, QLatin1Char('&'));
      break;
    }
    action->setText(text);
  }
}

}  // namespace salvorine
