#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>

#include "i18n/message_table.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "recovery/copy_identity.h"
#include "recovery/damage_report.h"
#include "recovery/run_ports.h"
#include "recovery/save_tree.h"

namespace salvorine {

// Where a row starts from.
struct RowStart {
  enum Kind {
    kWhole,    // an earlier run saved it whole: nothing to read
    kCopy,     // a pass reads it, going on from `earlier` or, without one, into a new copy
    kSkipped,  // another file's copy stands there and the user chose to skip this one
    kTaken,    // another row of this run saved its copy under this name
  } kind;
  std::optional<SaveTree::FoundCopy> earlier = std::nullopt;  // an earlier copy of this source at the destination
};

// Decides, row after row, where each file of a run starts from, from what
// the save folder holds at its destination; asks the user once per run when
// an answer is to hold for every file.
class RowStarter {
 public:
  RowStarter(SaveTree& tree, const std::set<FileIdentity>& protect, const RunOptions& options,
             const MessageTable& messages, Dialogs& dialogs)
      : tree_(tree), protect_(protect), options_(options), messages_(messages), dialogs_(dialogs) {}

  // The start of `record`'s row, whose source is open as `source` with
  // `status`. The destination may hold this file's whole copy, or an earlier
  // copy of it to go on from in place (with a map, or without one: then every
  // byte is read again and none it holds is given up), or nothing; or a copy
  // of another file, which is replaced, kept beside the new one
  // ("NAME (2).EXT"), or makes the file skipped, as the user chooses. A copy
  // no sample of which the source still reads cannot be told apart: it is
  // kept, and the new copy goes beside it. `record.existing` tells which.
  RowStart Choose(ReportRow& record, File& source, const FileStatus& status);

 private:
  ExistingCopy ChooseForExisting(const std::string& destination);

  SaveTree& tree_;
  const std::set<FileIdentity>& protect_;
  const RunOptions& options_;
  const MessageTable& messages_;
  Dialogs& dialogs_;
  std::optional<ExistingCopy> for_all_;
};

// What a row does with what stands at its destination.
enum class Verdict {
  kNew,        // a new copy goes there (nothing there, or nothing a copy could replace)
  kTaken,      // another row of this run saved its copy under this name
  kWhole,      // this source's whole copy, recorded so
  kRecordWhole,  // this source's whole copy, by its time, to be recorded
  kContinue,   // an earlier copy of this source, to go on from in place
  kKeepApart,  // a copy no sample of which the source still reads: kept, the new copy goes beside it
  kAnother,    // another file's copy: the user chooses
};
// Judges `found` for a source open as `source` with `status`: by what the
// save folder records, and by samples of the copy read anew against the
// source's (spread over what its map marks finished, or over all of it).
// `take_up_whole`: a whole copy may be taken as it is.
Verdict Judge(const SaveTree::FoundCopy& found, File& source, const FileStatus& status,
              const std::set<FileIdentity>& protect, bool take_up_whole);

}  // namespace salvorine
