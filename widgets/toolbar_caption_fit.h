#pragma once

#include <QObject>

class QToolBar;

namespace salvorine {

// Keeps a tool bar's buttons showing their captions under their icons while
// the bar has room for every caption, and their icons alone when it has not
// (a larger font, a longer language, double scale on a small screen), rather
// than cutting each caption short. A button's caption stays its tooltip.
class ToolBarCaptionFit final : public QObject {
 public:
  // Watches `bar`, and goes with it.
  explicit ToolBarCaptionFit(QToolBar& bar);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Fit();

  QToolBar& bar_;
};

}  // namespace salvorine
