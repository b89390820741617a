#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/folder_handle.h"
#include "recovery/copy_store.h"
#include "recovery/destination_path.h"
#include "recovery/map_file.h"
#include "recovery/folder_chain.h"
#include "recovery/rescue_map.h"
#include "recovery/whole_records.h"
#include "recovery/working_folder.h"

namespace salvorine {

// Where a run's copies go: below the save folder, each at the place that
// mirrors its source's place under the selection. Folders are walked without
// following links, created once, and given their source folder's permissions
// (with the umask, and always open to their owner). Beside the copies,
// the save folder's data folder (see destination_path.h) holds a map of every
// copy that is not whole (in its maps folder, mirroring the copies), the
// records of whole copies, the report of the runs and,
// while a run holds it, that run's working folder ("TMP654") with the copies
// its passes write.
class SaveTree final : public CopyStore {
 public:
  // Opens the save folder, which must exist, and reads its records of whole copies.
  SaveTree(const std::string& save_folder, std::string selection_root);

  // Takes the save folder for this run alone, for as long as the tree lives,
  // and its working folder, emptied; false when another run holds it.
  bool HoldAlone();
  // Lets go of the save folder's data folder and removes it when the run left nothing in it.
  void ReleaseUnused();
  // Empties and removes the working folder once the run is over.
  void EndWorking();
  // Removes the working copy `name`, when there is one, to give its room back.
  void RemoveWorkingCopy(const std::string& name) override {
    if (working_) working_->Folder().RemoveFile(name);
  }

  // A new working copy `name`, in the working folder on the save folder's file system.
  std::unique_ptr<File> CreateWorkingCopy(const std::string& name) { return Working().CreateCopy(name); }
  // Whether `path` lies in the working folder (not a name of the save tree).
  bool InWorkingFolder(const std::string& path) const {
    return working_ && path.starts_with(working_->Folder().Path() + "/");
  }
  // Where a reader that takes a path finds the working copy `name` while the
  // run holds the working folder; empty otherwise.
  std::string WorkingCopyPath(const std::string& name) const { return working_ ? working_->PathOf(name) : ""; }

  // The destination of `source_path` (a path, for messages).
  std::string DestinationOf(const std::string& source_path) const;
  // Where the map of `source_path`'s copy goes.
  std::string MapPathOf(const std::string& source_path);
  // Where `source_path`'s copy and its map stand, worked out once per name it is saved under.
  const Destination& Resolve(const std::string& source_path);
  // Forgets the places worked out so far (each is worked out again when
  // asked), so that a run holds those of the rows under way, not of every row done.
  void ForgetDestinations() { destinations_.clear(); }

  void WriteMap(const std::string& source_path, const std::string& text) override;
  void RemoveMapAndRecord(const std::string& source_path) override;
  bool Place(const std::string& source_path, const std::string& copy_name, unsigned mode,
             const std::set<FileIdentity>& protect) override;
  std::unique_ptr<File> OpenWorkingCopy(const std::string& copy_name) override;
  std::unique_ptr<File> OpenWorkingCopyForUpdate(const std::string& copy_name) override {
    return Working().Folder().OpenExistingFile(copy_name);
  }
  void SyncFolderOf(const std::string& source_path) override;
  std::unique_ptr<File> OpenSavedCopy(const std::string& source_path) override;
  void MarkWholeAfterSync(const std::string& source_path, const FileStatus& source) override;
  void SyncAndMarkWhole() override;
  // A copy is the user's file: the source's permissions with the umask, but
  // always readable and writable by its owner, whatever the medium allowed.
  unsigned FinishedMode(unsigned mode) const override { return (mode & 0777 & ~umask_) | 0600; }

  // Drops the record of `source_path`'s whole copy, once on disk, before the copy is written again.
  void ForgetWhole(const std::string& source_path);

  // Replaces the report in the data folder with the text `pieces` hand on; returns its path.
  std::string SaveReport(const FolderHandle::ContentPieces& pieces);

  // What stands at a row's destination as the row starts.
  struct FoundCopy {
    enum Kind {
      kNothing,          // nothing this run may take up or keep apart from: a new copy goes there
      kAnotherRowsCopy,  // the copy another row of this run placed, under this name or one the disk takes for it
      kFile,             // a file an earlier run, or someone else, left there
    } kind = kNothing;
    std::string destination;      // the copy's path, for messages
    std::unique_ptr<File> file;   // kFile: open for reading, reached without following a link
    FileStatus status;            // ... its status
    bool mapped = false;          // something stands where its map would
    std::optional<RescueMap> map; // the map an earlier run left beside it, when it is of the source's size
    bool recorded_whole = false;  // the save folder records it as the whole copy of a source of this size and time
    bool dated_whole = false;     // in a folder earlier versions filled, it carries the source's size and time
  };
  // Looks once at what stands at `source_path`'s destination, for a source
  // with `source`'s status; with `number` > 1, at the name numbered for
  // keeping both ("IMG_0001 (2).JPG"), which is then the copy's name.
  FoundCopy Look(const std::string& source_path, const FileStatus& source, int number);
  // Counts the copy found at `source_path`'s destination as this source's
  // whole copy; `record` records it so (saved at the next sync).
  void TakeWhole(const std::string& source_path, const FileStatus& source, bool record);
  // Whether anything stands where the map of `source_path`'s copy would.
  bool HasMap(const std::string& source_path);

  // Gives the copy at `source_path`'s destination the name `copy_name` in
  // the working folder as well; false when the file system has no hard links.
  bool LinkCopy(const std::string& source_path, const std::string& copy_name);

  // What a row's copy goes on from when an earlier run left one.
  struct EarlierCopy {
    RescueMap map;        // without a map beside it: every byte untried, or finished throughout when recorded whole
    bool shared = false;  // the copy has other names too (a snapshot made with hard links)
    bool mapped = false;  // a map stood beside it
  };
  // The copy a row's pass writes, under `working_name` in the working folder.
  struct WorkingCopy {
    std::unique_ptr<File> file;
    std::string path;       // where a reader finds it while the run lasts
    bool readable = false;  // ... and whether it does (not for a copy continued in place without hard links)
    std::optional<EarlierCopy> earlier;  // what it goes on from; none for a new copy
  };
  // Prepares `source_path`'s working copy. Given `found`, the earlier copy
  // Look found at its destination to go on from, that copy is taken up for
  // this row: continued in place, or copied into a new one when other names
  // share its bytes (a snapshot made with hard links keeps its own); it is no
  // longer recorded whole. Without `found`, or when the copy no longer opens
  // for update as it was found: a new copy.
  WorkingCopy BeginWorkingCopy(const std::string& source_path, const std::string& working_name,
                               std::optional<FoundCopy> found);

 private:
  using Chain = FolderChain;
  // The earlier copy `found`, open for update, and what it holds.
  struct TakenUp {
    std::unique_ptr<File> file;
    EarlierCopy earlier;
  };
  std::optional<TakenUp> TakeUp(const std::string& source_path, FoundCopy found);
  // Whether the copy named `name` in the folder `key`, which `placer` placed
  // (as placed_names_ keeps it), is `source_path`'s.
  bool PlacedBy(const std::string& key, const std::string& name, const std::string& placer,
                const std::string& source_path) const;
  // Counts the copy at `source_path`'s destination `at` as placed by this run.
  void Claim(const std::string& source_path, const Destination& at);
  // From now on `source_path`'s copy (and its map) goes in its destination
  // folder under the source's own name numbered `number` for keeping both; returns that destination.
  const Destination& SaveUnderNumber(const std::string& source_path, int number);
  // A whole copy waiting for the sync that carries its bytes before it is recorded.
  struct WaitingWhole {
    std::string source_path;
    FileIdentity identity;
    FileStatus source;
  };

  std::string Relative(const std::string& source_path) const;
  const FolderHandle& MapsFolder();
  const WorkingFolder& Working() const;
  // Whether `found`, the entry the disk finds at `source_path`'s destination
  // `at` in `folder`, is a copy another row of this run placed, under this
  // name or under one the save disk takes for the same (a disk that does not
  // tell upper and lower case apart, in any alphabet).
  bool LeadsToAnotherRowsCopy(const std::string& source_path, const Destination& at, const FolderHandle& folder,
                              const FileStatus& found);
  // What stands where the map of the copy at `at` would: whether anything
  // does, and, with `read_for_size`, the map an earlier run left there for a
  // source of that size, read from the maps folder as the run found it.
  struct MapFound {
    bool stands = false;
    std::optional<RescueMap> earlier;
  };
  MapFound LookForMap(const Destination& at, std::optional<std::int64_t> read_for_size);
  // Whether `found`, in `folders`, is a copy another row placed through another spelling of the folder.
  bool IsCopyPlacedThroughAnotherSpelling(const std::vector<std::string>& folders, const FileStatus& found,
                                          const std::string& source_path);
  // Per level of `folders`: whether the disk reached it through a name its
  // parent does not list (it took the name for another folder's).
  std::vector<bool> OtherSpellings(const std::vector<std::string>& folders);
  // The destination folder of `source_path`, created as needed, and the copy's name in it.
  std::pair<const FolderHandle*, std::string> DestinationFolder(const std::string& source_path);
  // The folder of `source_path`'s destination `at`, created as needed.
  const FolderHandle& EnterFolderOf(const std::string& source_path, const Destination& at);

  FolderHandle save_folder_;
  std::string selection_root_;
  bool root_is_file_;
  unsigned umask_;
  Chain copies_;
  std::optional<FolderHandle> maps_;
  Chain maps_chain_;
  std::optional<FolderHandle> earlier_maps_;  // the maps folder as the run found it, if any
  std::optional<FolderHandle> held_;          // the data folder, locked while the run lasts
  std::optional<WorkingFolder> working_;      // below held_, which must outlive it
  void SaveWholeRecords();

  std::vector<WaitingWhole> waiting_whole_;
  WholeRecords whole_records_;
  bool trusts_copy_times_ = true;
  bool records_changed_ = false;
  std::uint64_t save_device_;
  std::map<std::uint64_t, FolderHandle> other_file_systems_;  // by device: disks mounted inside the save folder
  std::map<std::string, Destination> destinations_;  // by source path, until its copy is recorded whole
  std::map<std::string, std::string> saved_names_;  // source path -> name, where it is not the source's
  // Per destination folder (its relative path): the names found there or placed, and those placed by this
  // run, each with the source path whose copy it is.
  std::map<std::string, std::set<std::string>> known_names_;
  // The source path is empty where the copy stands at the place its source mirrors to (see PlacedBy).
  std::map<std::string, std::map<std::string, std::string>> placed_names_;
  // Folders (their relative paths) the disk reaches through a spelling it does not list, the names each
  // listed folder holds (by relative path, "" for the save folder), and the folders of placed_names_
  // reached through such a spelling.
  std::set<std::string> unlisted_folders_;
  std::map<std::string, std::set<std::string>> folder_listings_;
  std::set<std::string> placed_through_other_spellings_;
  // Source paths whose destination held a file when their row started: Place may replace that one.
  std::set<std::string> found_at_start_;
};

}  // namespace salvorine
