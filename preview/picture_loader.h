#pragma once

#include <QImage>
#include <string>

#include "preview/picture_error.h"

namespace salvorine {

// The picture in the file at `path` (bytes as on disk), decoded by the decoder
// that its extension names, in any letter case: .bmp, .ico, .jpg, .jpeg, .emf,
// .wmf, and .png, .gif, .tif, .tiff, .webp where Qt's plugins read them. A damaged file yields what can still be drawn of it: a JPEG the rows
// before the damage, a metafile the records before the damage. Throws
// PictureError when the extension has no decoder or nothing can be decoded.
QImage LoadPicture(const std::string& path);

}  // namespace salvorine
