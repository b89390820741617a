#pragma once

#include <QDialog>

#include "app/window_placement.h"

namespace salvorine {

// A modal dialog of a fixed size that opens over the middle of its owner
// window, whole on the owner's screen. Its title bar offers to close it,
// never to maximize it.
class CentredDialog : public QDialog {
 public:
  explicit CentredDialog(QWidget* parent = nullptr)
      : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint) {}

 protected:
  void showEvent(QShowEvent* event) override {
    PlaceOverOwner(*this);
    QDialog::showEvent(event);
  }
};

}  // namespace salvorine
