#pragma once

#include <QImage>
#include <string>

namespace salvorine {

// Decodes the file at `path` with Qt's reader for `format` ("bmp" or "ico"),
// whatever its content looks like. Of an icon file's several pictures, returns
// the largest one that decodes. Throws PictureError when none does.
QImage ReadWithQtReader(const std::string& path, const char* format);

}  // namespace salvorine
