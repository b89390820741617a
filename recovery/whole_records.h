#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "recovery/map_file.h"

namespace salvorine {

// The save folder's own record of the copies saved whole: for each copy (by
// its path below the save folder) the size and modification time of the
// source it is a whole copy of. A copy counts as whole by this record, not by
// the save disk's timestamps, which some file systems round or ignore. A
// record is added only once a sync has carried the copy's bytes, and leaves
// before the copy is written again.
class WholeRecords {
 public:
  // The records in `text`; lines that do not parse (a torn last line) are passed over.
  static WholeRecords Parse(const std::string& text);
  std::string Text() const;
  // The same text handed to `put` a line at a time.
  void Write(const std::function<void(std::string_view)>& put) const;

  // Whether `copy` is recorded as the whole copy of a source with `source`'s size and time.
  bool Holds(const std::string& copy, const FileStatus& source) const;
  bool Contains(const std::string& copy) const { return records_.contains(copy); }
  void Add(const std::string& copy, const FileStatus& source);
  // False when there was no record of `copy`.
  bool Remove(const std::string& copy);

 private:
  std::map<std::string, MappedSource> records_;
};

}  // namespace salvorine
