#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "recovery/probe_spacing.h"
#include "recovery/rescue_map.h"
#include "recovery/row_job.h"

namespace salvorine {

// The Thorough rows of a run that wait, their files closed, for the rest of
// their rescue once their first pass and edges are read. A row's turn comes
// by what its next probe is worth (ProbeRecord::next_worth: readable bytes
// expected per failed read), across files, so that a cheap stretch of a later
// file comes before a costly one of an earlier file; the rows left without a
// probe come after every probe of every row, oldest first, for their scrape
// and retries.
class RescueQueue {
 public:
  void Add(std::unique_ptr<RowJob> job) { jobs_.push_back(std::move(job)); }
  bool Empty() const { return jobs_.empty(); }
  // The row whose turn is next (the queue is not empty); it waits on until taken.
  RowJob& Next() const;
  // Takes `job` out of the queue.
  std::unique_ptr<RowJob> Take(const RowJob& job);
  // Whether any waiting row's turn comes before `job`'s.
  bool AnyBefore(const RowJob& job) const;
  // What the best waiting row's next probe is worth; 0 when none has a probe left.
  double BestWorth() const;
  // Every waiting row, in the order they came to wait.
  const std::vector<std::unique_ptr<RowJob>>& Rows() const { return jobs_; }
  void Clear() { jobs_.clear(); }

 private:
  // Whether `a`'s turn comes before `b`'s.
  static bool Before(const RowJob& a, const RowJob& b);

  std::vector<std::unique_ptr<RowJob>> jobs_;
};

// What the first probe into the untried stretches of `map` is worth: the
// longest one that the spacing of `probes` leaves room for a probe in; 0 when none does.
double FirstProbeWorth(const RescueMap& map, const ProbeRecord& probes);

}  // namespace salvorine
