#pragma once

#include <QScrollArea>

namespace salvorine {

// Holds a panel at its full height while its window, so laid out, fits the
// available screen; where it would not (a larger font, double scale on a small
// screen) the panel gives up just the height it must and scrolls, so that the
// window never asks for more than the screen has.
class ScreenFitScrollArea final : public QScrollArea {
 public:
  // Takes `panel`, which keeps the size it asks for and is scrolled when taller than the area.
  ScreenFitScrollArea(QWidget* panel, QWidget* parent);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Fit();
};

}  // namespace salvorine
