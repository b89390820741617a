#include "recovery/row_job.h"

#include "recovery/copy_identity.h"
#include "recovery/working_folder.h"

namespace salvorine {

namespace {

// The same size and modification time (inode numbers may change when a medium is mounted again).
bool SameStatus(const FileStatus& was, const FileStatus& now) {
  return now.size == was.size && now.modified_seconds == was.modified_seconds &&
         now.modified_nanoseconds == was.modified_nanoseconds;
}

}  // namespace

bool RowJob::Reads(File& reopened) {
  if (!SameStatus(status, reopened.Status())) return false;
  if (map.Total(RescueState::kDone) == 0) return true;
  return CompareSamples(reopened, owner->ForPass(), FinishedSamples(map)) == Likeness::kSame;
}

bool RowJob::SourceChanged(File& reopened) {
  const FileStatus now = reopened.Status();
  if (!SameStatus(status, now)) return true;
  // The same file on the same mount: its size and time tell, and samples would cost reads of a damaged source.
  if (now.identity == status.identity || map.Total(RescueState::kDone) == 0) return false;
  const Likeness likeness = CompareSamples(reopened, owner->ForPass(), FinishedSamples(map));
  if (likeness == Likeness::kSame) status.identity = now.identity;
  return likeness == Likeness::kDifferent;
}

void RowJob::Release() {
  source->Close();
  source.reset();
  owner->Release();
}

RescueMap RowJob::Saved() const {
  if (const RescueMap* saved = owner->SavedMap()) return *saved;
  return owner->Placed() ? map : RescueMap(0, status.size);
}

bool BeginCopy(RowJobPlace& place, RowJob& job, std::optional<SaveTree::FoundCopy> earlier) {
  const std::string working_name = WorkingCopyName(job.row, job.source_path);
  SaveTree::WorkingCopy working = place.tree.BeginWorkingCopy(job.source_path, working_name, std::move(earlier));
  job.working_path = std::move(working.path);
  job.readable = working.readable;
  std::optional<SaveTree::EarlierCopy>& from = working.earlier;
  job.map = from ? std::move(from->map) : RescueMap(0, job.status.size);
  const RowCopy::Start begins = !from || from->shared ? RowCopy::Start::kNewCopy
                                : from->mapped         ? RowCopy::Start::kEarlierMapped
                                                       : RowCopy::Start::kEarlierUnmapped;
  job.owner = std::make_unique<RowCopy>(
      place.tree, place.protect, job.source_path, job.status, working_name, std::move(working.file), job.map, begins,
      [&place, path = job.source_path](const FileSystemError& error) {
        place.map_not_saved(place.tree.MapPathOf(path), error);
      });
  return from.has_value();
}

}  // namespace salvorine
