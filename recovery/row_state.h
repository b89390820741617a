#pragma once

#include <cstdint>
#include <string_view>

namespace salvorine {

// What became of a row's file, beyond the figures in its cells.
enum class RowState {
  kPending,  // the run did not reach it
  kStopped,  // the run stopped inside it; its copy is not saved
  kUnsaved,  // the pass ran, but the copy could not be saved
  kDamaged,  // saved, with unreadable bytes left as zeros
  kSaved,    // saved whole
  kSkipped,  // Skip file ended its pass; saved as far as it got, with its map
};

// The word salvorine-cli prints for a state: ok, damaged, unsaved, stopped, pending.
std::string_view RowStateWord(RowState state);

}  // namespace salvorine
