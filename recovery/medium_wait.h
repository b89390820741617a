#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_system_error.h"
#include "recovery/run_ports.h"

namespace salvorine {

// A source's medium went away in the middle of a run: what was read stays, and
// the run waits for the medium to come back.
class MediumGoneError : public FileSystemError {
 public:
  using FileSystemError::FileSystemError;
};

// `source` as a pass reads it, except that a read failing because the medium
// went away raises MediumGoneError instead of reporting a failed read: the
// pass then never marks bytes bad that it could not even ask the medium for.
// Closing a source whose medium is gone succeeds (the descriptor is released
// all the same).
std::unique_ptr<File> WatchMedium(std::unique_ptr<File> source);

// Whether `error` says the medium of the selection `selection_root` went away:
// raised by a watched source, or raised on a path inside the selection with
// an error that MediumGone recognises; a missing or failing file counts only
// when the selection cannot be reached either, or stands on another device
// than `selection_device`, the one it was on when the run found it (the empty
// mount point a medium leaves).
bool SourceMediumGone(const FileSystemError& error, const std::string& selection_root,
                      std::optional<std::uint64_t> selection_device);

// How the run waits for a medium that went away.
struct MediumWait {
  EventPump& pump;                              // keeps the window answering; Stop sets `stopped`
  Clock& clock;
  const bool& stopped;                          // the run's idle flag
  std::optional<Clock::Duration> limit;         // none: until stopped
  std::function<void(Clock::Duration)> pause;   // lets time pass between two looks
};

// How often a run looks whether its medium came back.
inline constexpr auto kMediumPollInterval = std::chrono::milliseconds(200);

// Looks whether the medium is back (`back`), every kMediumPollInterval, until
// it is, the run is stopped or the limit has passed; true when it is back.
// With a limit of zero it does not wait at all.
bool AwaitMedium(const MediumWait& wait, const std::function<bool()>& back);

}  // namespace salvorine
