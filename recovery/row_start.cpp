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
  const char* kept_both = "kept both: ";
  constexpr int kMostNumbers = 1000;
  std::string last_tried;
  for (int number = 1; number <= kMostNumbers; ++number) {
    SaveTree::FoundCopy found = tree_.Look(record.path, status, number);
    last_tried = found.destination;
    if (number > 1) record.existing = kept_both + found.destination;
    const Verdict verdict = Judge(found, source, status, protect_, options_.ContinueEarlierCopies());
    switch (verdict) {
      case Verdict::kNew: return {RowStart::kCopy};
      case Verdict::kTaken: return {RowStart::kTaken};
      case Verdict::kWhole:
      case Verdict::kRecordWhole:
        tree_.TakeWhole(record.path, status, verdict == Verdict::kRecordWhole);
        return {RowStart::kWhole};
      case Verdict::kContinue: return {RowStart::kCopy, std::move(found)};
      case Verdict::kKeepApart:
        kept_both = "kept both, the source no longer reads where the copy could be compared: ";
        continue;
      case Verdict::kAnother: break;
    }
    if (number > 1) continue;
    switch (ChooseForExisting(found.destination)) {
      case ExistingCopy::kReplace: record.existing = "replaced"; return {RowStart::kCopy};
      case ExistingCopy::kSkip: record.existing = "skipped"; return {RowStart::kSkipped};
      case ExistingCopy::kKeepBoth: break;
    }
  }
  throw FileSystemError(EEXIST, last_tried, "find a free name beside");
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

Verdict Judge(const SaveTree::FoundCopy& found, File& source, const FileStatus& status,
              const std::set<FileIdentity>& protect, bool take_up_whole) {
  if (found.kind == SaveTree::FoundCopy::kAnotherRowsCopy) return Verdict::kTaken;
  // Placing over one of the run's own sources is refused anyway.
  if (found.kind == SaveTree::FoundCopy::kNothing || protect.contains(found.status.identity)) return Verdict::kNew;
  if (found.status.size != status.size) return Verdict::kAnother;
  File& copy = *found.file;
  // Samples over the whole copy are read once: a damaged source pays for every one it cannot read.
  std::optional<Likeness> whole_likeness;
  // A whole copy: no map marks it unfinished, the save folder records it (or
  // its time says so), and where the source still reads, its samples are the source's.
  if (take_up_whole && !found.mapped && (found.recorded_whole || found.dated_whole)) {
    whole_likeness = CompareSamples(source, copy, WholeFileSamples(status.size));
    if (*whole_likeness != Likeness::kDifferent) return found.recorded_whole ? Verdict::kWhole : Verdict::kRecordWhole;
  }
  // A copy that holds nothing read yet has nothing to lose.
  if (found.map && found.map->Total(RescueState::kDone) == 0) return Verdict::kContinue;
  const Likeness likeness = found.map        ? CompareSamples(source, copy, FinishedSamples(*found.map))
                            : whole_likeness ? *whole_likeness
                                             : CompareSamples(source, copy, WholeFileSamples(status.size));
  switch (likeness) {
    case Likeness::kSame: return Verdict::kContinue;
    case Likeness::kUnread: return Verdict::kKeepApart;
    default: return Verdict::kAnother;
  }
}

}  // namespace salvorine
