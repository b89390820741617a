#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace salvorine {

// The place under `save_folder` that mirrors `source_path`'s place under the
// run's selection root: save/<last component of root>/<rest of source path>,
// or save/<file name> when the root is a file itself, or save/<rest> when the
// root is "/". Empty when there is no save folder. Creates nothing.
std::string MirroredPath(const std::string& source_path, const std::string& selection_root,
                         const std::string& save_folder);

// The part of MirroredPath below the save folder; `root_is_file` tells
// whether the selection root names a file.
std::string MirroredRelativePath(const std::string& source_path, const std::string& selection_root,
                                 bool root_is_file);

// The name of the map of a copy named `name`: `name` + ".map" when that fits
// the 255-byte limit of a name; otherwise `name` cut short (never inside a
// UTF-8 character) with a hash of the whole name, so that two long names
// that begin alike still get maps of their own.
std::string MapFileName(const std::string& name);

// `name` numbered for keeping both: "IMG_0001 (2).JPG", "notes (3)".
std::string NumberedName(const std::string& name, int number);

// Where the save folder keeps its own records: the maps below it, the
// report, the records of whole copies and a run's working folder in it; and
// how a copy being placed is named beside its destination.
inline constexpr const char* kDataFolderName = ".salvorine";
inline constexpr const char* kMapsFolderName = "maps";
inline constexpr const char* kReportFileName = "report.tsv";
inline constexpr const char* kWholeRecordsFileName = "whole.tsv";
inline constexpr const char* kPlacingPrefix = ".salvorine-";

// Where a row's copy and its map stand below the save folder.
struct Destination {
  std::vector<std::string> folders;  // the copy's folders below the save folder
  std::string name;                  // the copy's name: the source's own, or the one it was saved under
  std::string own_name;              // the source's own name, from which names for keeping both are numbered
  std::string copy_path;             // the copy's whole path, for messages and readers
  std::string map_path;              // the map's whole path

  // The folders, each followed by "/": the key of the copy's folder.
  std::string FolderKey() const;
  // The copy's path below the save folder.
  std::string Relative() const { return FolderKey() + name; }
  std::string MapName() const { return MapFileName(name); }
  // Where the map stands below `save_folder`.
  std::string MapPathIn(const std::string& save_folder) const;
  // The same place with the copy saved under `saved_name` instead.
  Destination SavedAs(const std::string& save_folder, const std::string& saved_name) const;
  // The same place with the copy saved under its own name numbered `number` for keeping both.
  Destination Numbered(const std::string& save_folder, int number) const {
    return SavedAs(save_folder, NumberedName(own_name, number));
  }
};
// The destination `relative` below `save_folder` (without its trailing "/");
// raises FileSystemError when it has no usable name.
Destination ResolveDestination(const std::string& save_folder, const std::string& relative);

// The report of the runs into `save_folder` (with or without its trailing "/").
std::string ReportPathIn(const std::string& save_folder);
// Where a map of `source_path`'s copy stands under `save_folder` when the copy
// has the source's own name (not one given for keeping both).
std::string MirroredMapPath(const std::string& source_path, const std::string& selection_root,
                            const std::string& save_folder);

// A map longer than this is not one a run wrote for a file it can hold in
// memory; it is taken as no earlier map at all.
inline constexpr std::int64_t kLongestMapFile = std::int64_t{64} << 20;

// MirroredPath, with every missing folder on the way to it created.
std::string DestinationPath(const std::string& source_path, const std::string& selection_root,
                            const std::string& save_folder);

}  // namespace salvorine
