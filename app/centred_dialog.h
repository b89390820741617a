#pragma once

#include <QDialog>
#include <QScreen>

namespace salvorine {

// A modal dialog that opens in the middle of the screen, not over its owner.
class CentredDialog : public QDialog {
 public:
  using QDialog::QDialog;

 protected:
  void showEvent(QShowEvent* event) override {
    if (const QScreen* shown_on = screen()) move(shown_on->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
  }
};

}  // namespace salvorine
