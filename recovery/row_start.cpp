#include "recovery/row_start.h"

#include <cerrno>

#include "platform/file_system_error.h"

namespace salvorine {
namespace {

// The question when a file's destination holds a copy of another file.
constexpr WindowText kExistingCopyText{91, "This name already holds a copy of another file. Replace it, keep both, or skip this file?"};
constexpr WindowText kReplaceText{92, "Replace"};
constexpr WindowText kKeepBothText{93, "Keep both"};
constexpr WindowText kSkipText{94, "Skip"};
constexpr WindowText kForAllText{95, "Do this for all"};

}  // namespace

RowStart RowStarter::Choose(ReportRow& record, File& source, const FileStatus& status) {
  const std::string name = tree_.SavedName(record.path);
  const char* kept_both = "kept both: ";
  constexpr int kMostNumbers = 1000;
  for (int number = 1; number <= kMostNumbers; ++number) {
    if (number > 1) {
      tree_.SaveUnderName(record.path, SaveTree::NumberedName(name, number));
      record.existing = kept_both + tree_.DestinationOf(record.path);
    }
    // A folder this run made holds nothing to take up or to keep apart from.
    if (!tree_.MayHoldEarlier(record.path)) return {RowStart::kCopy};
    // No row ever replaces the copy of another row.
    if (tree_.TakenByAnotherRow(record.path)) return {RowStart::kTaken};
    if (HasWholeCopy(record.path, source, status)) {
      // No later row may take its name, on a disk that folds names too.
      tree_.Claim(record.path);
      return {RowStart::kWhole};
    }
    std::optional<SaveTree::EarlierCopy> earlier = tree_.OpenEarlierCopy(record.path, status.size, protect_);
    if (earlier) {
      const Likeness likeness = LikenessOf(source, status.size, *earlier);
      if (likeness == Likeness::kSame) {
        tree_.Claim(record.path);
        return StartOver(record.path, status, std::move(*earlier));
      }
      if (likeness == Likeness::kUnread) {
        kept_both = "kept both, the source no longer reads where the copy could be compared: ";
        continue;
      }
    } else if (!HoldsAnotherFile(record.path, source, status)) {
      return {RowStart::kCopy};
    }
    if (number > 1) continue;
    switch (ChooseForExisting(tree_.DestinationOf(record.path))) {
      case ExistingCopy::kReplace: record.existing = "replaced"; return {RowStart::kCopy};
      case ExistingCopy::kSkip: record.existing = "skipped"; return {RowStart::kSkipped};
      case ExistingCopy::kKeepBoth: break;
    }
  }
  throw FileSystemError(EEXIST, tree_.DestinationOf(record.path), "find a free name beside");
}

// Whether the save folder already holds this file whole: a copy of the
// source's size that no map marks unfinished, which the save folder records
// as this source's whole copy (in a folder earlier versions filled: which
// carries the source's modification time), and whose samples, read anew, are
// the source's where the source reads.
bool RowStarter::HasWholeCopy(const std::string& path, File& source, const FileStatus& status) {
  if (!options_.ContinueEarlierCopies()) return false;
  const std::unique_ptr<File> copy = tree_.OpenSavedForReading(path);
  if (!copy) return false;
  const FileStatus saved = copy->Status();
  if (protect_.contains(saved.identity) || saved.size != status.size || tree_.HasMap(path)) return false;
  const bool recorded = tree_.RecordedWhole(path, status);
  const bool timed = tree_.TrustsCopyTimes() && saved.modified_seconds == status.modified_seconds &&
                     saved.modified_nanoseconds == status.modified_nanoseconds;
  if (!recorded && !timed) return false;
  const bool same = CompareSamples(source, *copy, WholeFileSamples(status.size)) != Likeness::kDifferent;
  copy->Close();
  if (same && !recorded) tree_.RecordWhole(path, status);
  return same;
}

// Goes on from an earlier copy of this source. A copy the save folder records
// as whole counts as finished throughout, for a run asked to start afresh.
RowStart RowStarter::StartOver(const std::string& path, const FileStatus& status, SaveTree::EarlierCopy earlier) {
  if (!earlier.mapped && tree_.RecordedWhole(path, status)) earlier.map.Set(0, status.size, RescueState::kDone);
  return {RowStart::kCopy, std::move(earlier)};
}

// Whether a file stands at the row's destination that is no copy of this
// source: anything but a copy of its size whose first and last bytes are the source's.
bool RowStarter::HoldsAnotherFile(const std::string& path, File& source, const FileStatus& status) {
  const std::unique_ptr<File> copy = tree_.OpenSavedForReading(path);
  if (!copy) return false;
  const FileStatus saved = copy->Status();
  if (protect_.contains(saved.identity)) return false;  // placing there is refused anyway
  return saved.size != status.size ||
         CompareSamples(source, *copy, WholeFileSamples(status.size)) != Likeness::kSame;
}

// The user's choice for another file's copy at `destination`, asked once per
// run when it is to hold for every file.
ExistingCopy RowStarter::ChooseForExisting(const std::string& destination) {
  if (for_all_) return *for_all_;
  const ExistingCopyAnswer answer = dialogs_.AskExistingCopy(
      {destination + "\r" + messages_.Text(kExistingCopyText), messages_.Text(kReplaceText),
       messages_.Text(kKeepBothText), messages_.Text(kSkipText), messages_.Text(kForAllText)});
  if (answer.for_all) for_all_ = answer.choice;
  return answer.choice;
}

Likeness LikenessOf(File& source, std::int64_t size, SaveTree::EarlierCopy& earlier) {
  if (earlier.mapped && earlier.map.Total(RescueState::kDone) == 0) return Likeness::kSame;
  return CompareSamples(source, *earlier.file, earlier.mapped ? FinishedSamples(earlier.map) : WholeFileSamples(size));
}

}  // namespace salvorine
