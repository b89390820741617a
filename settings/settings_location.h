#pragma once

#include <string>

namespace salvorine {

// Where Salvorine.ini is read at start and written at close.
struct SettingsLocation {
  std::string read_path;
  std::string write_path;
};

// Salvorine.ini stays beside the program while the program's folder is the
// user's to write and is not an installed copy (<prefix>/bin beside
// <prefix>/share/salvorine), so build folders and unpacked copies keep their
// file. Otherwise it is $XDG_CONFIG_HOME/salvorine/Salvorine.ini (default
// ~/.config): nothing is written into a system folder, even by root. A file
// beside such a program is still read while the user has no file of their own.
SettingsLocation LocateSettings(const std::string& program_folder);

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config, else the
// account's home folder from the password database + "/.config"; empty when
// there is no home folder at all.
std::string UserConfigFolder();

}  // namespace salvorine
