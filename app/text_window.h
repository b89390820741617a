#pragma once

#include <QDialog>
#include <string>

class QTextBrowser;

namespace salvorine {

// A read-only window inside the program for a page of the manual or a text
// file (a map), for when no other program opens it. Text can be selected and
// copied; links inside the manual are followed.
class TextWindow final : public QDialog {
  Q_OBJECT

 public:
  explicit TextWindow(QWidget* parent = nullptr);

  // Shows the HTML page `path`.
  void ShowPage(const std::string& path, const QString& caption);
  // Shows `text` as plain text.
  void ShowText(const QString& text, const QString& caption);

  QTextBrowser* Browser = nullptr;
};

}  // namespace salvorine
