#include "recovery/row_copy.h"

#include <algorithm>
#include <cerrno>

#include "recovery/map_file.h"
#include "recovery/pass_view.h"

namespace salvorine {
namespace {

// A status whose modification time is now: what a copy that is not whole carries.
FileStatus Now() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now);
  FileStatus status;
  status.modified_seconds = seconds.count();
  status.modified_nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now - seconds).count();
  return status;
}

}  // namespace

RowCopy::RowCopy(CopyStore& store, const std::set<FileIdentity>& protect, std::string source_path,
                 FileStatus source, std::string copy_name, std::unique_ptr<File> copy, const RescueMap& map,
                 Start start, std::function<void(const FileSystemError&)> map_not_saved)
    : store_(store),
      protect_(protect),
      source_path_(std::move(source_path)),
      source_(source),
      copy_name_(std::move(copy_name)),
      copy_(std::move(copy)),
      view_(std::make_unique<PassView>(*copy_, start == Start::kNewCopy)),
      map_(map),
      map_not_saved_(std::move(map_not_saved)),
      placed_(start != Start::kNewCopy),
      same_file_(start != Start::kNewCopy),
      mapped_(start == Start::kEarlierMapped),
      saved_map_(map) {}

RowCopy::~RowCopy() = default;

File& RowCopy::ForPass() { return *view_; }

void RowCopy::ShowWritten() { view_->Flush(); }

void RowCopy::Checkpoint() { SaveWithMap(false, 0600); }

void RowCopy::Finish(bool stopped) {
  view_->Release();
  const bool whole = map_.Total(RescueState::kUntried) + map_.Total(RescueState::kBad) == 0;
  // A pass stopped over a copy that holds every byte already leaves it whole.
  if (stopped && !whole) {
    // A copy that read nothing would only replace an earlier one with zeros.
    if (placed_ || map_.Total(RescueState::kDone) > 0) SaveWithMap(false, 0600);
    return Close();
  }
  const unsigned mode = store_.FinishedMode(source_.mode);
  // Whole by the map itself: the file may have changed size since it was listed.
  if (!whole) {
    SaveWithMap(true, mode);
    return Close();
  }
  // A whole copy has no map. The old one goes first, with any record: a copy
  // with neither is read again by a later run, in place, keeping what it holds.
  store_.RemoveMapAndRecord(source_path_);
  mapped_ = false;
  if (placed_) {
    if (!same_file_) CatchUp();
    SetMode(mode);
  }
  Close();
  if (!placed_) {
    PlaceFirst(mode, false);
    if (same_file_) store_.RemoveWorkingCopy(copy_name_);
  }
  store_.MarkWholeAfterSync(source_path_, source_);
}

void RowCopy::Release() {
  released_ = Released{copy_->Path(), copy_->Status().identity, std::nullopt};
  if (saved_copy_) released_->saved_copy = saved_copy_->Status().identity;
  Close();
  view_.reset();
  copy_.reset();
  saved_copy_.reset();
}

void RowCopy::Reopen() {
  // Gone, or another file stands in its place: the file this row wrote is not there any more.
  const auto same = [this](std::unique_ptr<File> file, const FileIdentity& was) {
    if (!file || file->Status().identity != was) throw FileSystemError(ENOENT, released_->path, "open again");
    return file;
  };
  // A copy placed by a link or a move is the saved copy; otherwise the working copy is.
  const bool saved_is_copy = placed_ && same_file_;
  copy_ = same(saved_is_copy ? store_.OpenSavedCopy(source_path_) : store_.OpenWorkingCopyForUpdate(copy_name_),
               released_->copy);
  view_ = std::make_unique<PassView>(*copy_, false);  // its zeros and blocks were written out when it was released
  if (released_->saved_copy) saved_copy_ = same(store_.OpenSavedCopy(source_path_), *released_->saved_copy);
  released_.reset();
}

// close() reports the write-back errors of some file systems (NFS, FUSE).
void RowCopy::Close() {
  view_->Release();
  copy_->Close();
  if (saved_copy_) saved_copy_->Close();
}

void RowCopy::SaveWithMap(bool pass_ended, unsigned mode) {
  view_->Release();
  copy_->Sync();
  if (!placed_) {
    // An older copy may stand at the destination, its map beside it: that map
    // goes, the new copy takes its place, and only then comes the new map.
    store_.RemoveMapAndRecord(source_path_);
    PlaceFirst(mode, true);
    store_.SyncFolderOf(source_path_);
  } else {
    if (!same_file_) CatchUp();
    SetMode(mode);
  }
  try {
    store_.WriteMap(source_path_, MapFileText(map_, pass_ended, &source_));
    mapped_ = true;
    saved_map_ = map_;
  } catch (const FileSystemError& error) {
    map_not_saved_(error);
  }
}

void RowCopy::PlaceFirst(unsigned mode, bool keep_up) {
  same_file_ = store_.Place(source_path_, copy_name_, mode, protect_);
  placed_ = true;
  mode_ = mode;
  if (!same_file_ && keep_up) {
    saved_copy_ = store_.OpenSavedCopy(source_path_);
    saved_ = std::make_unique<RescueMap>(map_);
  }
}

void RowCopy::SetMode(unsigned mode) {
  if (mode == mode_) return;
  File* saved = same_file_ ? copy_.get() : saved_copy_.get();
  if (saved != nullptr) saved->SetModeAndTime(mode, Now());
  mode_ = mode;
}

// On a save disk without hard links the saved copy is a copy: it takes the bytes finished
// since the last time, and they reach the disk before a map that marks them.
void RowCopy::CatchUp() {
  if (!saved_copy_) return;
  // A reader of its own, so that the pass's position in its copy is left alone.
  const std::unique_ptr<File> reader = store_.OpenWorkingCopy(copy_name_);
  std::string buffer(1 << 20, '\0');
  for (const RescueMap::Segment& done : map_.SegmentsIn(RescueState::kDone)) {
    for (const RescueMap::Segment& held : saved_->Segments()) {
      if (held.state == RescueState::kDone) continue;
      const std::int64_t end = std::min(done.end, held.end);
      for (std::int64_t at = std::max(done.start, held.start); at < end;) {
        const auto part = static_cast<std::size_t>(std::min<std::int64_t>(std::ssize(buffer), end - at));
        reader->Seek(at);
        const ReadResult got = reader->Read(buffer.data(), part);
        if (!got.ok || got.count == 0) throw FileSystemError(got.ok ? EIO : got.error, reader->Path(), "read");
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
