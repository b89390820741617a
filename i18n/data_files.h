#pragma once

#include <string>

namespace salvorine {

// The program's own files (language files, the manual) lie beside the program
// in a build folder or an unpacked copy, and in <prefix>/share/salvorine when
// it is installed as <prefix>/bin/salvorine.
std::string InstalledDataFolder(const std::string& program_folder);

// `relative` beside the program when it exists there, else in the installed
// data folder when it exists there; empty when neither holds it.
std::string FindDataFile(const std::string& program_folder, const std::string& relative);

// The manual's page in English (help/Salvorine.html) or Russian
// (help/Salvorine-ru.html), found as FindDataFile finds it; empty when missing.
std::string HelpPagePath(const std::string& program_folder, bool english);

// Where the manual's page is looked for, one path a line (lines end in "\r", as in
// message texts), for a message saying it is missing.
std::string HelpPageCandidates(const std::string& program_folder, bool english);

}  // namespace salvorine
