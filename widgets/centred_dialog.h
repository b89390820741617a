#pragma once

#include <QDialog>
#include <QScreen>

namespace salvorine {

// A modal dialog of a fixed size that opens in the middle of the screen, not
// over its owner. Its title bar offers to close it, never to maximize it.
class CentredDialog : public QDialog {
 public:
  explicit CentredDialog(QWidget* parent = nullptr)
      : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint) {}

 protected:
  void showEvent(QShowEvent* event) override {
    if (const QScreen* shown_on = screen()) move(shown_on->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
  }
};

}  // namespace salvorine
