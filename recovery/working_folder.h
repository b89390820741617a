#pragma once

#include <memory>
#include <string>

#include "platform/file.h"
#include "platform/folder_handle.h"

namespace salvorine {

// A run's private folder TMP654 inside the save folder's data folder, which
// the run holds locked: the fresh copies are written there, on the save
// folder's file system, so that placing one is a hard link (one write per
// byte), and nothing is written to the source's disk. The folder is opened
// once; every later step (create, link, remove) goes through that descriptor,
// never through its path.
class WorkingFolder {
 public:
  // Creates TMP654 under `data_folder` (mode 0700), or takes the one an
  // earlier run left when it is a real folder of the current user, and
  // empties it. `data_folder` must outlive this object.
  explicit WorkingFolder(const FolderHandle& data_folder);
  // Removes what Remove did not (a run ended by an error); what cannot be
  // removed then is removed at the next run's start.
  ~WorkingFolder();
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

  const FolderHandle& Folder() const { return folder_; }
  // A new copy `name`, mode 0600, open for reading and writing.
  std::unique_ptr<File> CreateCopy(const std::string& name) const { return folder_.CreateNewFile(name); }
  // Where a reader that only takes a path (the preview) finds the copy
  // `name`: through this folder's descriptor, for as long as the run holds it.
  std::string PathOf(const std::string& name) const { return folder_.PathThroughHandle(name); }
  // Removes every copy; raises FileSystemError when one cannot be removed.
  void Empty() const { folder_.RemoveFiles(); }
  // Empties the folder and removes it, at the end of the run; raises
  // FileSystemError when something cannot be removed.
  void Remove();

 private:
  const FolderHandle& data_folder_;
  FolderHandle folder_;
  bool removed_ = false;
};

// The name of row `row`'s copy in the working folder: the row number and
// the extension of `source_path` ("3.jpg" for row 3 of ".../img.jpg").
std::string WorkingCopyName(int row, const std::string& source_path);

// The last component of a path.
std::string FileNameOf(const std::string& path);

}  // namespace salvorine
