#include "recovery/row_job.h"

#include "recovery/copy_identity.h"
#include "recovery/working_folder.h"

namespace salvorine {

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
