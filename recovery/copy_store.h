#pragma once

#include <memory>
#include <set>
#include <string>

#include "platform/file.h"

namespace salvorine {

// Where rows' copies and maps are kept, each named by its source's path: the
// save folder on disk, or a recording stand-in in tests. Every call raises
// FileSystemError naming the path it failed on.
class CopyStore {
 public:
  virtual ~CopyStore() = default;

  // Replaces the map of `source_path`'s copy with `text`, once on disk.
  virtual void WriteMap(const std::string& source_path, const std::string& text) = 0;
  // Removes the map of `source_path`'s copy and the record that it is whole,
  // once on disk: the copy is about to change. None there is no error.
  virtual void RemoveMapAndRecord(const std::string& source_path) = 0;
  // Places the closed working copy `copy_name` at `source_path`'s destination
  // under a temporary name, then under the destination's, with the
  // permission bits `mode`; it replaces only a file the store found there when
  // the row started (never another row's copy, never a file of `protect`),
  // and raises with EEXIST when the disk finds anything else there. True when the
  // saved copy is the working copy itself, linked or (a save disk without
  // hard links) moved there; false when it is a copy (another file system).
  virtual bool Place(const std::string& source_path, const std::string& copy_name, unsigned mode,
                     const std::set<FileIdentity>& protect) = 0;
  // Removes the name `copy_name` of a working copy whose saved copy is that
  // very file, whole: nothing reads it by that name any more, and the working
  // folder stays small however many files the run saves.
  virtual void RemoveWorkingCopy(const std::string& copy_name) = 0;
  // The working copy `copy_name`, open for reading on its own.
  virtual std::unique_ptr<File> OpenWorkingCopy(const std::string& copy_name) = 0;
  // The working copy `copy_name`, open for update; nothing when there is none.
  virtual std::unique_ptr<File> OpenWorkingCopyForUpdate(const std::string& copy_name) = 0;
  // Brings the destination folder's entries of `source_path` to the disk.
  virtual void SyncFolderOf(const std::string& source_path) = 0;
  // The copy at `source_path`'s destination, open for update; nothing when there is none.
  virtual std::unique_ptr<File> OpenSavedCopy(const std::string& source_path) = 0;
  // Records the saved copy of `source_path` as the whole copy of `source`
  // (and gives it the source's modification time) once a sync of every file
  // system holding it has carried its bytes.
  virtual void MarkWholeAfterSync(const std::string& source_path, const FileStatus& source) = 0;
  // Brings every file system holding copies to the disk, then records the whole copies waiting for it.
  virtual void SyncAndMarkWhole() = 0;
  // The permission bits a finished copy of a source with `mode` takes.
  virtual unsigned FinishedMode(unsigned mode) const = 0;
};

}  // namespace salvorine
