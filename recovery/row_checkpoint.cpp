#include "recovery/row_checkpoint.h"

#include <algorithm>
#include <cerrno>

#include "platform/file_system_error.h"
#include "recovery/map_file.h"

namespace salvorine {

RowCheckpoint::RowCheckpoint(SaveTree& tree, const std::set<FileIdentity>& protect, std::string source_path,
                             FileStatus source, std::string copy_path, File& copy, const RescueMap& map,
                             Clock& clock, bool in_place)
    : tree_(tree),
      protect_(protect),
      source_path_(std::move(source_path)),
      source_(source),
      copy_path_(std::move(copy_path)),
      copy_(copy),
      map_(map),
      clock_(clock),
      last_(clock.Now()),
      placed_(in_place),
      same_file_(in_place) {}

void RowCheckpoint::AfterBlock() {
  if (clock_.Now() - last_ < kInterval) return;
  Bring();
  last_ = clock_.Now();
}

void RowCheckpoint::Bring() {
  copy_.Sync();
  CatchUp();
  tree_.SaveMap(source_path_, MapFileText(map_, false));
  if (placed_) return;
  same_file_ = tree_.Save(source_path_, copy_path_, source_, protect_, false);
  placed_ = true;
  if (!same_file_) {
    saved_copy_ = tree_.OpenSavedCopy(source_path_);
    saved_ = std::make_unique<RescueMap>(map_);
  }
}

void RowCheckpoint::CatchUp() {
  if (placed_ && !same_file_) CopyNewlyFinished();
}

// Between file systems the saved copy is a copy: it takes the bytes finished since the last time.
void RowCheckpoint::CopyNewlyFinished() {
  if (!saved_copy_) return;
  // A reader of its own, so that the pass's position in its copy is left alone.
  const std::unique_ptr<File> reader = OpenRead(copy_path_);
  std::string buffer(1 << 20, '\0');
  for (const RescueMap::Segment& done : map_.SegmentsIn(RescueState::kDone)) {
    for (const RescueMap::Segment& held : saved_->Segments()) {
      if (held.state == RescueState::kDone) continue;
      const std::int64_t end = std::min(done.end, held.end);
      for (std::int64_t at = std::max(done.start, held.start); at < end;) {
        const auto part = static_cast<std::size_t>(std::min<std::int64_t>(std::ssize(buffer), end - at));
        reader->Seek(at);
        const ReadResult got = reader->Read(buffer.data(), part);
        if (!got.ok || got.count == 0) throw FileSystemError(got.ok ? EIO : got.error, copy_path_, "read");
        saved_copy_->Seek(at);
        saved_copy_->Write(buffer.data(), got.count);
        at += static_cast<std::int64_t>(got.count);
      }
    }
  }
  reader->Close();
  saved_copy_->Sync();
  *saved_ = map_;
}

}  // namespace salvorine
