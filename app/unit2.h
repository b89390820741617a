#pragma once

#include "widgets/centred_dialog.h"
#include <functional>

class QLabel;
class QPushButton;

namespace salvorine {

// The About dialog: icon, name, version, the web site and e-mail links, OK.
class TForm2 final : public CentredDialog {
  Q_OBJECT

 public:
  // `web_site` and `feedback` run the main window's Web Site and Feedback commands.
  TForm2(std::function<void()> web_site, std::function<void()> feedback, QWidget* parent = nullptr);

  void Label6Click() { web_site_(); }
  void Label7Click() { feedback_(); }
  void Button1Click() { accept(); }

  QLabel* Label6 = nullptr;  // web address link
  QLabel* Label7 = nullptr;  // e-mail link
  QPushButton* Button1 = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> web_site_;
  std::function<void()> feedback_;
};

}  // namespace salvorine
