#pragma once

#include <string>

namespace salvorine {

// The home folder the account database records for this process's user (its
// effective ID), whatever $HOME says; empty when it records none.
std::string HomeFolderOfUser();

}  // namespace salvorine
