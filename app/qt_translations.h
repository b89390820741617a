#pragma once

#include <QTranslator>
#include <memory>

namespace salvorine {

// Qt's own texts (Yes, No, OK, Cancel, Close and the like in message boxes and
// dialogs) in the program's language: Qt's Russian translation while Russian
// is shown, Qt's English otherwise. Texts the program sets itself stay.
class QtTranslations {
 public:
  ~QtTranslations();
  // False when Russian was asked for and Qt's translation was not found.
  bool Apply(bool english);

 private:
  std::unique_ptr<QTranslator> translator_;
};

}  // namespace salvorine
