#include "recovery/save_tree.h"

#include <algorithm>
#include <vector>

#include "platform/file_system.h"
#include "platform/file_system_error.h"
#include "recovery/destination_path.h"
#include "recovery/map_file.h"
#include "recovery/whole_records.h"

namespace salvorine {
namespace {

constexpr const char* kDataFolder = kDataFolderName;
constexpr const char* kMapsFolder = kMapsFolderName;
constexpr const char* kReportName = kReportFileName;
constexpr const char* kWholeRecordsName = kWholeRecordsFileName;

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

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    if (slash > start) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

std::string Joined(const std::vector<std::string>& folders) {
  std::string joined;
  for (const std::string& folder : folders) joined += folder + "/";
  return joined;
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A saved folder keeps its source folder's permissions, but its owner can always enter and write it.
unsigned FolderMode(const std::string& source_folder) {
  const std::optional<unsigned> mode = PermissionsOf(source_folder);
  return mode ? (*mode & 0777) | 0700 : 0777;
}

}  // namespace

SaveTree::SaveTree(const std::string& save_folder, std::string selection_root)
    : save_folder_(save_folder),
      selection_root_(std::move(selection_root)),
      root_is_file_(FileExists(selection_root_)),
      umask_(CurrentUmask()),
      save_device_(save_folder_.IdentityOf(".").value_or(FileIdentity{}).device) {
  const auto data = save_folder_.ExistingSubfolder(kDataFolder);
  if (!data) return;
  earlier_maps_ = data->ExistingSubfolder(kMapsFolder);
  if (const auto text = data->ReadSmallFile(kWholeRecordsName, kLongestMapFile)) {
    whole_records_ = WholeRecords::Parse(*text);
    trusts_copy_times_ = false;
  }
}

std::string SaveTree::Relative(const std::string& source_path) const {
  std::string relative = MirroredRelativePath(source_path, selection_root_, root_is_file_);
  const auto renamed = saved_names_.find(source_path);
  if (renamed == saved_names_.end()) return relative;
  const auto slash = relative.rfind('/');
  return (slash == std::string::npos ? std::string() : relative.substr(0, slash + 1)) + renamed->second;
}

const Destination& SaveTree::SaveUnderNumber(const std::string& source_path, int number) {
  const Destination& own = Resolve(source_path);
  Destination saved = own.Numbered(save_folder_.Path(), number);
  saved_names_[source_path] = saved.name;
  return destinations_.insert_or_assign(source_path, std::move(saved)).first->second;
}

const Destination& SaveTree::Resolve(const std::string& source_path) {
  auto found = destinations_.find(source_path);
  if (found == destinations_.end()) {
    Destination at = ResolveDestination(save_folder_.Path(),
                                        MirroredRelativePath(source_path, selection_root_, root_is_file_));
    if (const auto renamed = saved_names_.find(source_path); renamed != saved_names_.end()) {
      at = at.SavedAs(save_folder_.Path(), renamed->second);
    }
    found = destinations_.emplace(source_path, std::move(at)).first;
  }
  return found->second;
}

std::string SaveTree::DestinationOf(const std::string& source_path) const {
  return save_folder_.Path() + "/" + Relative(source_path);
}

std::string SaveTree::MapPathOf(const std::string& source_path) {
  return Resolve(source_path).map_path;
}

std::pair<const FolderHandle*, std::string> SaveTree::DestinationFolder(const std::string& source_path) {
  const Destination& at = Resolve(source_path);
  return {&EnterFolderOf(source_path, at), at.name};
}

const FolderHandle& SaveTree::EnterFolderOf(const std::string& source_path, const Destination& at) {
  const auto& folders = at.folders;
  // The destination's folders are the source folder's last ones: level `level` mirrors this source folder.
  const std::string source_folder = ParentOf(source_path);
  const auto mode = [&](std::size_t level) {
    std::string mirrored = source_folder;
    for (std::size_t up = level + 1; up < folders.size(); ++up) mirrored = ParentOf(mirrored);
    return FolderMode(mirrored);
  };
  return copies_.Enter(save_folder_, folders, mode);
}

bool SaveTree::HoldAlone() {
  if (!held_) held_ = save_folder_.Subfolder(kDataFolder, 0777);
  if (!held_->TryLock()) return false;
  // Only the run holding the lock may empty the working folder.
  if (!working_) working_.emplace(*held_);
  return true;
}

void SaveTree::ReleaseUnused() {
  EndWorking();
  held_.reset();
  save_folder_.RemoveEmptySubfolder(kDataFolder);
}

void SaveTree::EndWorking() {
  if (!working_) return;
  working_->Remove();
  working_.reset();
}

const WorkingFolder& SaveTree::Working() const {
  if (!working_) throw FileSystemError(ENOENT, save_folder_.Path() + "/" + kDataFolder, "use the working folder in");
  return *working_;
}

bool SaveTree::Place(const std::string& source_path, const std::string& copy_name, unsigned mode,
                     const std::set<FileIdentity>& protect) {
  const Destination& at = Resolve(source_path);
  const FolderHandle& folder = EnterFolderOf(source_path, at);
  // Only what stood at the destination when the row started may be replaced,
  // and never another row's copy; anything else the disk finds there makes the placing fail.
  bool may_replace = found_at_start_.contains(source_path);
  if (may_replace) {
    const std::optional<FileStatus> entry = folder.StatusOf(at.name);
    may_replace = !entry || !LeadsToAnotherRowsCopy(source_path, at, folder, *entry);
  }
  const bool linked = folder.PlaceFile(at.name, Working().Folder(), copy_name, mode, protect, may_replace);
  Claim(source_path, at);
  return linked;
}

std::unique_ptr<File> SaveTree::OpenWorkingCopy(const std::string& copy_name) {
  std::unique_ptr<File> copy = Working().Folder().OpenExistingForReading(copy_name);
  if (!copy) throw FileSystemError(ENOENT, Working().Folder().Path() + "/" + copy_name, "read");
  return copy;
}

void SaveTree::SyncFolderOf(const std::string& source_path) { DestinationFolder(source_path).first->Sync(); }

void SaveTree::MarkWholeAfterSync(const std::string& source_path, const FileStatus& source) {
  const auto [folder, name] = DestinationFolder(source_path);
  const auto identity = folder->IdentityOf(name);
  if (!identity) return;
  // A disk mounted inside the save folder is synced too before its copies count as whole.
  if (identity->device != save_device_ && !other_file_systems_.contains(identity->device)) {
    if (auto held = folder->ExistingSubfolder(".")) other_file_systems_.emplace(identity->device, std::move(*held));
  }
  waiting_whole_.push_back({source_path, *identity, source});
}

void SaveTree::SyncAndMarkWhole() {
  save_folder_.SyncFileSystem();
  for (const auto& [device, folder] : other_file_systems_) folder.SyncFileSystem();
  std::vector<WaitingWhole> waiting;
  waiting.swap(waiting_whole_);
  for (const WaitingWhole& copy : waiting) {
    const auto [folder, name] = DestinationFolder(copy.source_path);
    // Replaced since: not the copy that was synced. The time is a courtesy
    // to the user: some disks round or ignore it, so the record decides.
    if (!folder->SetTimeIfSame(name, copy.identity, copy.source)) continue;
    whole_records_.Add(Resolve(copy.source_path).Relative(), copy.source);
    records_changed_ = true;
    // Its place is worked out again if ever asked: up to thousands of copies wait for a sync.
    destinations_.erase(copy.source_path);
  }
  if (records_changed_) SaveWholeRecords();
}

void SaveTree::ForgetWhole(const std::string& source_path) {
  if (whole_records_.Remove(Resolve(source_path).Relative())) SaveWholeRecords();
}

void SaveTree::SaveWholeRecords() {
  const FolderHandle data = save_folder_.Subfolder(kDataFolder, 0777);
  data.WriteFile(kWholeRecordsName, [this](const auto& put) { whole_records_.Write(put); });
  data.Sync();
  records_changed_ = false;
}

const FolderHandle& SaveTree::MapsFolder() {
  if (!maps_) maps_ = save_folder_.Subfolder(kDataFolder, 0777).Subfolder(kMapsFolder, 0777);
  return *maps_;
}

void SaveTree::WriteMap(const std::string& source_path, const std::string& text) {
  const Destination& at = Resolve(source_path);
  const auto& folders = at.folders;
  const FolderHandle& folder = maps_chain_.Enter(MapsFolder(), folders, [](std::size_t) { return 0777u; });
  folder.WriteFile(at.MapName(), text);
}

// Creates nothing on the way: a copy without a map needs no maps folder.
void SaveTree::RemoveMapAndRecord(const std::string& source_path) {
  ForgetWhole(source_path);
  const Destination& at = Resolve(source_path);
  const auto& folders = at.folders;
  const FolderHandle* maps = maps_ ? &*maps_ : earlier_maps_ ? &*earlier_maps_ : nullptr;
  if (maps == nullptr) return;
  if (const auto folder = maps->ExistingBelow(folders)) {
    if (folder->RemoveFile(at.MapName())) folder->Sync();
  }
}

// Whether the entry the save disk finds under `source_path`'s destination
// name is a copy another row of this run placed. The disk decides which names
// are the same: only its answers are used, never a case rule of ours.
bool SaveTree::LeadsToAnotherRowsCopy(const std::string& source_path, const Destination& at,
                                      const FolderHandle& folder, const FileStatus& found) {
  const std::string& name = at.name;
  const std::string key = at.FolderKey();
  if (IsCopyPlacedThroughAnotherSpelling(at.folders, found, source_path)) return true;
  const auto placed = placed_names_.find(key);
  if (placed == placed_names_.end()) return false;
  if (const auto exact = placed->second.find(name); exact != placed->second.end()) {
    return !PlacedBy(key, name, exact->second, source_path);
  }
  auto known = known_names_.find(key);
  if (known == known_names_.end()) {
    // The run holds the save folder alone: its entries are those found at its start and those placed since.
    const std::vector<std::string> names = folder.Names();
    known = known_names_.emplace(key, std::set<std::string>(names.begin(), names.end())).first;
  }
  // An entry of this very name that no row placed was there before the run.
  if (known->second.contains(name)) return false;
  // No entry bears the name, yet the disk finds one: it takes the name for
  // another entry's. In a folder this run made, every entry is a row's copy.
  if (copies_.created.contains(key)) return true;
  // Otherwise the entry is told by what the disk shows of it: its identity
  // or, where the driver numbers each name apart (exFAT through FUSE), its
  // size and modification time. It counts as another row's copy unless it
  // looks like an entry found there at the run's start and like no such copy.
  const auto looks_like = [&](const std::string& other) {
    const std::optional<FileStatus> status = folder.StatusOf(other);
    return status && (status->identity == found.identity ||
                      (status->size == found.size && status->modified_seconds == found.modified_seconds &&
                       status->modified_nanoseconds == found.modified_nanoseconds));
  };
  const bool like_a_copy = std::any_of(placed->second.begin(), placed->second.end(), [&](const auto& other) {
    return !PlacedBy(key, other.first, other.second, source_path) && looks_like(other.first);
  });
  return like_a_copy || std::none_of(known->second.begin(), known->second.end(), [&](const std::string& other) {
           return !placed->second.contains(other) && looks_like(other);
         });
}

// Whether `found`, in the folder `folders`, is a copy another row placed in
// a folder reached by another spelling that the save disk takes for this one
// (a disk that does not tell case apart). Only spellings the disk does not
// list are compared, so that alike files in folders told apart never count.
bool SaveTree::IsCopyPlacedThroughAnotherSpelling(const std::vector<std::string>& folders, const FileStatus& found,
                                                  const std::string& source_path) {
  const std::vector<bool> own = OtherSpellings(folders);
  const bool own_unlisted = std::find(own.begin(), own.end(), true) != own.end();
  if (!own_unlisted && placed_through_other_spellings_.empty()) return false;
  const std::string key = Joined(folders);
  for (const auto& [other_key, names] : placed_names_) {
    if (other_key == key || (!own_unlisted && !placed_through_other_spellings_.contains(other_key))) continue;
    const std::vector<std::string> other = Components(other_key);
    if (other.size() != folders.size()) continue;
    const std::vector<bool> theirs = OtherSpellings(other);
    bool may_be_this_folder = true;
    for (std::size_t level = 0; level < other.size(); ++level) {
      may_be_this_folder = may_be_this_folder && (other[level] == folders[level] || own[level] || theirs[level]);
    }
    if (!may_be_this_folder) continue;
    const auto other_folder = save_folder_.ExistingBelow(other);
    if (!other_folder) continue;
    for (const auto& [other_name, other_source] : names) {
      if (PlacedBy(other_key, other_name, other_source, source_path)) continue;
      // Where the driver numbers each spelling apart (exFAT through FUSE), size and time tell the entry.
      const std::optional<FileStatus> status = other_folder->StatusOf(other_name);
      if (status && (status->identity == found.identity ||
                     (status->size == found.size && status->modified_seconds == found.modified_seconds &&
                      status->modified_nanoseconds == found.modified_nanoseconds))) {
        return true;
      }
    }
  }
  return false;
}

std::vector<bool> SaveTree::OtherSpellings(const std::vector<std::string>& folders) {
  std::vector<bool> unlisted(folders.size(), false);
  std::string key;
  for (std::size_t level = 0; level < folders.size(); ++level) {
    const std::string parent_key = key;
    key += folders[level] + "/";
    // A folder this run made bears the name it was made under.
    if (copies_.created.contains(key)) continue;
    if (unlisted_folders_.contains(key)) {
      unlisted[level] = true;
      continue;
    }
    auto listed = folder_listings_.find(parent_key);
    if (listed == folder_listings_.end() || !listed->second.contains(folders[level])) {
      // Listed anew on a miss: the folder may have been made since the parent was listed.
      const std::vector<std::string> above(folders.begin(), folders.begin() + static_cast<std::ptrdiff_t>(level));
      const auto parent = save_folder_.ExistingBelow(above);
      if (!parent) break;
      const std::vector<std::string> names = parent->Names();
      listed = folder_listings_.insert_or_assign(parent_key, std::set<std::string>(names.begin(), names.end())).first;
    }
    if (!listed->second.contains(folders[level])) {
      unlisted_folders_.insert(key);
      unlisted[level] = true;
    }
  }
  return unlisted;
}

void SaveTree::Claim(const std::string& source_path, const Destination& at) {
  const auto& folders = at.folders;
  const std::string& name = at.name;
  // Most copies stand where their source mirrors to: their source is then told by the place, not kept.
  const bool mirrored = MirroredRelativePath(source_path, selection_root_, root_is_file_) == at.Relative();
  placed_names_[at.FolderKey()].insert_or_assign(name, mirrored ? std::string() : source_path);
  const std::vector<bool> unlisted = OtherSpellings(folders);
  if (std::find(unlisted.begin(), unlisted.end(), true) != unlisted.end()) {
    placed_through_other_spellings_.insert(at.FolderKey());
  }
  const auto known = known_names_.find(at.FolderKey());
  if (known != known_names_.end()) known->second.insert(name);
}

bool SaveTree::PlacedBy(const std::string& key, const std::string& name, const std::string& placer,
                        const std::string& source_path) const {
  if (!placer.empty()) return placer == source_path;
  return MirroredRelativePath(source_path, selection_root_, root_is_file_) == key + name;
}

SaveTree::FoundCopy SaveTree::Look(const std::string& source_path, const FileStatus& source, int number) {
  const Destination& at = number > 1 ? SaveUnderNumber(source_path, number) : Resolve(source_path);
  FoundCopy found;
  found.destination = at.copy_path;
  // One question to the disk about the entry: whether the name answers, and what to.
  const FolderHandle* folder = copies_.Find(save_folder_, at.folders);
  const std::optional<FileStatus> entry = folder ? folder->StatusOf(at.name) : std::nullopt;
  if (!entry) {
    // Nothing there (in a folder this run made, no row's copy answers to the name): Place replaces nothing.
    found_at_start_.erase(source_path);
    return found;
  }
  if (LeadsToAnotherRowsCopy(source_path, at, *folder, *entry)) {
    found_at_start_.erase(source_path);
    found.kind = FoundCopy::kAnotherRowsCopy;
    return found;
  }
  // What stands there now may later be replaced by Place.
  found_at_start_.insert(source_path);
  found.file = folder->OpenExistingForReading(at.name);
  if (!found.file) return found;
  found.kind = FoundCopy::kFile;
  found.status = found.file->Status();
  found.recorded_whole = whole_records_.Holds(at.Relative(), source);
  found.dated_whole = trusts_copy_times_ && found.status.size == source.size &&
                      found.status.modified_seconds == source.modified_seconds &&
                      found.status.modified_nanoseconds == source.modified_nanoseconds;
  MapFound map = LookForMap(at, found.status.size == source.size ? std::optional(source.size) : std::nullopt);
  found.mapped = map.stands;
  found.map = std::move(map.earlier);
  return found;
}

// Whether anything stands where the map would be, and the map an earlier run
// left there when the copy is of the source's size. Maps are read only from
// the maps folder as the run found it.
SaveTree::MapFound SaveTree::LookForMap(const Destination& at, std::optional<std::int64_t> read_for_size) {
  MapFound found;
  const FolderHandle* maps = maps_ ? &*maps_ : earlier_maps_ ? &*earlier_maps_ : nullptr;
  if (maps == nullptr) return found;
  const auto folder = maps->ExistingBelow(at.folders);
  found.stands = folder && folder->IdentityOf(at.MapName()).has_value();
  if (!read_for_size || !earlier_maps_) return found;
  std::optional<FolderHandle> other;
  if (maps != &*earlier_maps_) other = earlier_maps_->ExistingBelow(at.folders);
  const std::optional<FolderHandle>& earlier = maps == &*earlier_maps_ ? folder : other;
  const auto text = earlier ? earlier->ReadSmallFile(at.MapName(), kLongestMapFile) : std::nullopt;
  if (text) found.earlier = ParseMapFile(*text, *read_for_size);
  return found;
}

// Opens the copy `found` anew for update, as this row's; nothing when it is no longer the copy found.
std::optional<SaveTree::TakenUp> SaveTree::TakeUp(const std::string& source_path, FoundCopy found) {
  found.file->Close();
  const Destination& at = Resolve(source_path);
  const auto copies = save_folder_.ExistingBelow(at.folders);
  std::unique_ptr<File> copy = copies ? copies->OpenExistingFile(at.name) : nullptr;
  if (!copy || copy->Status().size != found.status.size) return std::nullopt;
  const bool shared = copies->LinkCountOf(at.name) > 1;
  Claim(source_path, at);
  // No map tells what it holds: every byte is to be read again, and none it
  // has is given up; a copy recorded whole counts as finished throughout, for a run asked to start afresh.
  const bool mapped = found.map.has_value();
  RescueMap map = mapped ? std::move(*found.map) : RescueMap(0, found.status.size);
  if (!mapped && found.recorded_whole) map.Set(0, found.status.size, RescueState::kDone);
  return TakenUp{std::move(copy), {std::move(map), shared, mapped}};
}

void SaveTree::TakeWhole(const std::string& source_path, const FileStatus& source, bool record) {
  const Destination& at = Resolve(source_path);
  if (record) {
    whole_records_.Add(at.Relative(), source);
    records_changed_ = true;
  }
  Claim(source_path, at);
}

bool SaveTree::HasMap(const std::string& source_path) {
  return LookForMap(Resolve(source_path), std::nullopt).stands;
}

std::unique_ptr<File> SaveTree::OpenSavedCopy(const std::string& source_path) {
  const Destination& at = Resolve(source_path);
  const auto& folders = at.folders;
  const std::string& name = at.name;
  const auto folder = save_folder_.ExistingBelow(folders);
  return folder ? folder->OpenExistingFile(name) : nullptr;
}

bool SaveTree::LinkCopy(const std::string& source_path, const std::string& copy_name) {
  const Destination& at = Resolve(source_path);
  const auto& folders = at.folders;
  const std::string& name = at.name;
  const auto folder = save_folder_.ExistingBelow(folders);
  return folder && folder->LinkInto(name, Working().Folder(), copy_name);
}

SaveTree::WorkingCopy SaveTree::BeginWorkingCopy(const std::string& source_path, const std::string& working_name,
                                                  std::optional<FoundCopy> found) {
  WorkingCopy working{nullptr, WorkingCopyPath(working_name), true, std::nullopt};
  std::optional<TakenUp> taken = found ? TakeUp(source_path, std::move(*found)) : std::nullopt;
  if (!taken) {
    working.file = CreateWorkingCopy(working_name);
    return working;
  }
  working.earlier = std::move(taken->earlier);
  // Until its map stands, nothing may call the copy whole.
  ForgetWhole(source_path);
  if (!working.earlier->shared) {
    working.readable = LinkCopy(source_path, working_name);
    working.file = std::move(taken->file);
    return working;
  }
  working.file = CreateWorkingCopy(working_name);
  CopyWhole(*taken->file, *working.file);
  taken->file->Close();
  return working;
}

std::string SaveTree::SaveReport(const FolderHandle::ContentPieces& pieces) {
  save_folder_.Subfolder(kDataFolder, 0777).WriteFile(kReportName, pieces);
  return ReportPathIn(save_folder_.Path());
}

}  // namespace salvorine
