#pragma once

#include <QDialog>
#include <QEvent>
#include <QLayout>
#include <algorithm>

#include "app/window_placement.h"

namespace salvorine {

// A modal dialog of a fixed size that opens over the middle of its owner
// window, whole on the owner's screen. Its title bar offers to close it,
// never to maximize it.
//
// A dialog that gives its usual size (SetUsualSize) keeps that size while its
// texts fit in it, and grows where a language or a larger font needs more
// room; it is fitted again as it is shown and whenever its font changes.
class CentredDialog : public QDialog {
 public:
  explicit CentredDialog(QWidget* parent = nullptr)
      : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint) {}

 protected:
  // Sets `usual` as the size to keep, then fits the dialog's texts in it.
  void SetUsualSize(QSize usual) {
    usual_ = usual;
    FitTexts();
  }
  // Wrapped texts are measured at the width the dialog will have.
  void FitTexts() {
    QLayout* all = layout();
    if (all == nullptr || usual_.isEmpty()) return;
    all->invalidate();
    const int width = std::max(usual_.width(), all->totalMinimumSize().width());
    const int height = std::max(usual_.height(), all->hasHeightForWidth() ? all->totalHeightForWidth(width)
                                                                            : all->totalMinimumSize().height());
    setFixedSize(width, height);
  }

  void showEvent(QShowEvent* event) override {
    FitTexts();
    PlaceOverOwner(*this);
    QDialog::showEvent(event);
  }
  void changeEvent(QEvent* event) override {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange) FitTexts();
  }

 private:
  QSize usual_;  // empty: the dialog sizes itself
};

}  // namespace salvorine
