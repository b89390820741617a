#pragma once

#include <cstdint>

#include "recovery/rescue_target.h"

namespace salvorine {

// The figures of the row a rescue reads, worked out from its map after every
// read and shown through one call: the table's cells, the file's bar and its
// label. What the map marks done is recovered; recovered + damaged + unread
// is the file's size at every moment.
class RescueFigures {
 public:
  RescueFigures(const RescueTarget& target, PassContext& context) : target_(target), context_(context) {}

  // A first pass gave up `bytes` it could not read: they count as damaged from now on.
  void GiveUp(std::int64_t bytes);
  // While a first pass reads: the bytes it gave up are damaged, those it has not read yet unread.
  void ShowReading();
  // While sectors are rescued: every byte not recovered yet counts as damaged.
  void ShowRescuing();
  // A step that went as far as it was to go: the pass is complete, and every
  // byte it did not recover is damaged.
  void ShowStepDone();

 private:
  void Show(std::int64_t completed, std::int64_t damaged);

  const RescueTarget& target_;
  PassContext& context_;
  std::int64_t given_up_ = 0;  // by the first passes of this step
};

}  // namespace salvorine
