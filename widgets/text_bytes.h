#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace salvorine {

// Paths and cell texts are byte strings; widgets show them decoded. A name that
// is not valid UTF-8 is shown with replacement characters but its bytes are
// never rebuilt from the shown text.
inline QString Shown(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }
inline std::string Bytes(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace salvorine
