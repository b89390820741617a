// Reads the text file that tells damaged_fs which folders and files to serve
// and where their damage is. One directive per line:
//   dir PATH
//   file PATH SIZE [SEED]
//   image PATH HOSTFILE  (a file holding the bytes of HOSTFILE, a file system image say)
//   bad PATH START LENGTH
//   slow PATH START LENGTH MILLISECONDS
//   flaky PATH START LENGTH FAILURES
//   delay_bad MILLISECONDS
//   bad_sector BYTES     (bad areas fail whole sectors of this size, as on a disc)
// A field starting with '#' begins a comment; blank lines are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <stdexcept>
#include <string>

#include "damaged_media/media_tree.h"

namespace salvorine::damaged_media {

struct Description {
  MediaTree tree;
  uint64_t delay_bad_ms = 0;  // every failed read waits this long
  uint64_t bad_sector = 1;    // a bad byte spoils its whole sector of this many bytes
};

class DescriptionError : public std::runtime_error {
 public:
  DescriptionError(size_t line, const std::string& reason);
  size_t Line() const { return line_; }

 private:
  size_t line_;
};

// Throws DescriptionError naming the first malformed line.
Description ParseDescription(std::istream& in);

// Throws std::runtime_error naming the file when it cannot be read, and
// DescriptionError when its content is malformed.
Description LoadDescription(const std::filesystem::path& file);

}  // namespace salvorine::damaged_media
