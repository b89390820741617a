#include "recovery/row_job.h"

#include <vector>

#include "recovery/copy_identity.h"
#include "recovery/working_folder.h"

namespace salvorine {
namespace {

// Copies every byte of `from` into `to`, from the start.
void CopyWhole(File& from, File& to) {
  std::vector<char> buffer(1 << 20);
  from.Seek(0);
  to.Seek(0);
  for (;;) {
    const ReadResult got = from.Read(buffer.data(), buffer.size());
    if (!got.ok) throw FileSystemError(got.error, from.Path(), "read");
    if (got.count == 0) return;
    to.Write(buffer.data(), got.count);
  }
}

// The file the row's pass writes: the earlier copy itself, or a new working copy.
std::unique_ptr<File> CopyFor(RowJobPlace& place, RowJob& job, const std::string& working_name,
                              std::optional<SaveTree::EarlierCopy>& earlier) {
  if (earlier && !earlier->shared) {
    // The working folder shows the copy too, for preview, where the save disk has hard links.
    job.readable = place.tree.LinkCopy(job.source_path, working_name);
    return std::move(earlier->file);
  }
  std::unique_ptr<File> copy = place.tree.CreateWorkingCopy(working_name);
  job.readable = true;
  if (earlier) {
    // Other names share the saved copy's bytes (a snapshot made with hard
    // links): they keep them, and the copy goes on in a copy of its own.
    CopyWhole(*earlier->file, *copy);
    earlier->file->Close();
  }
  return copy;
}

}  // namespace

bool RowJob::Reads(File& reopened) {
  const FileStatus now = reopened.Status();
  if (now.size != status.size || now.modified_seconds != status.modified_seconds ||
      now.modified_nanoseconds != status.modified_nanoseconds) {
    return false;
  }
  if (map.Total(RescueState::kDone) == 0) return true;
  return CompareSamples(reopened, owner->ForPass(), FinishedSamples(map)) == Likeness::kSame;
}

RescueMap RowJob::Saved() const {
  if (const RescueMap* saved = owner->SavedMap()) return *saved;
  return owner->Placed() ? map : RescueMap(0, status.size);
}

void BeginCopy(RowJobPlace& place, RowJob& job, std::optional<SaveTree::EarlierCopy> earlier) {
  const std::string working_name = WorkingCopyName(job.row, job.source_path);
  job.working_path = place.tree.WorkingCopyPath(working_name);
  // The copy is about to be written again: until its map stands, nothing may call it whole.
  if (earlier) place.tree.ForgetWhole(job.source_path);
  std::unique_ptr<File> copy = CopyFor(place, job, working_name, earlier);
  job.map = earlier ? std::move(earlier->map) : RescueMap(0, job.status.size);
  const RowCopy::Start begins = !earlier || earlier->shared ? RowCopy::Start::kNewCopy
                                : earlier->mapped            ? RowCopy::Start::kEarlierMapped
                                                             : RowCopy::Start::kEarlierUnmapped;
  job.owner = std::make_unique<RowCopy>(
      place.tree, place.protect, job.source_path, job.status, working_name, std::move(copy), job.map, begins,
      [&place, path = job.source_path](const FileSystemError& error) {
        place.map_not_saved(place.tree.MapPathOf(path), error);
      });
}

}  // namespace salvorine
