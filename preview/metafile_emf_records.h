#pragma once

#include <span>
#include <string>
#include <vector>

namespace salvorine {

// The records of the EMF `bytes` (read from `path`) that are safe to hand to
// the EMF converter, which trusts the counts and offsets inside records: the
// header, then every record up to the first damaged or unknown one, minus
// comments, text given as glyph indices and records whose embedded bitmap is
// unsound, closed by a fresh end-of-file record. The header's size and record
// count are rewritten to match. Throws PictureError when the file does not
// start with an EMF header.
std::vector<unsigned char> SoundEmfRecords(const std::string& path, std::span<const unsigned char> bytes);

}  // namespace salvorine
