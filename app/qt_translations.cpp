#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace salvorine {

QtTranslations::~QtTranslations() {
  if (translator_ != nullptr) QCoreApplication::removeTranslator(translator_.get());
}

bool QtTranslations::Apply(bool english) {
  if (translator_ != nullptr) {
    QCoreApplication::removeTranslator(translator_.get());
    translator_.reset();
  }
  if (english) return true;
  auto russian = std::make_unique<QTranslator>();
  // Debian installs them with Qt ("qt6-translations-l10n").
  if (!russian->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return false;
  QCoreApplication::installTranslator(russian.get());
  translator_ = std::move(russian);
  return true;
}

}  // namespace salvorine
