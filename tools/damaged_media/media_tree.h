// In-memory tree of the folders and generated files a description declares.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace salvorine::damaged_media {

enum class FaultKind { kBad, kSlow, kFlaky };

// One damaged byte range of a file; a read request overlapping it is affected.
struct FaultRange {
  FaultKind kind = FaultKind::kBad;
  uint64_t start = 0;
  uint64_t length = 0;
  uint64_t milliseconds = 0;   // kSlow: how long an overlapping read waits
  uint64_t failures_left = 0;  // kFlaky: overlapping reads that still fail

  // True when [begin, end) shares at least one byte with this range.
  bool Overlaps(uint64_t begin, uint64_t end) const {
    return begin < end && begin < start + length && start < end;
  }
};

struct MediaNode {
  bool is_dir = true;
  uint64_t size = 0;  // files only
  uint64_t seed = 0;  // files only
  int image_fd = -1;   // files only: when set, the bytes are this host file's, not the pattern
  std::vector<FaultRange> faults;
  std::map<std::string, std::unique_ptr<MediaNode>, std::less<>> children;  // dirs only
};

class MediaTree {
 public:
  MediaTree();

  // Components are plain names (no '/', not empty). Missing parent folders are
  // created; these throw std::invalid_argument when a file is in the way or the
  // path is already declared as something else.
  MediaNode& AddDir(const std::vector<std::string>& components);
  MediaNode& AddFile(const std::vector<std::string>& components, uint64_t size, uint64_t seed);

  // Null when nothing is declared at these components.
  MediaNode* Find(const std::vector<std::string>& components);
  // Looks up a path as the file system hands it over: "/" or "/a/b".
  MediaNode* FindMounted(std::string_view path);

  const MediaNode& Root() const { return *root_; }

 private:
  MediaNode& ParentFolderOf(const std::vector<std::string>& components);

  std::unique_ptr<MediaNode> root_;
};

}  // namespace salvorine::damaged_media
