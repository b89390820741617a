#include "recovery/row_state.h"

namespace salvorine {

std::string_view RowStateWord(RowState state) {
  switch (state) {
    case RowState::kPending: return "pending";
    case RowState::kStopped: return "stopped";
    case RowState::kUnsaved: return "unsaved";
    case RowState::kDamaged: return "damaged";
    case RowState::kSaved: return "ok";
    case RowState::kSkipped: return "skipped";
  }
  return "pending";
}

}  // namespace salvorine
