#include "recovery/medium_wait.h"

#include <cerrno>

#include "platform/forwarding_file.h"
#include "platform/medium_gone.h"

namespace salvorine {
namespace {

class WatchedMedium final : public ForwardingFile {
 public:
  explicit WatchedMedium(std::unique_ptr<File> source) : ForwardingFile(*source), owned_(std::move(source)) {}

  ReadResult Read(void* buffer, std::size_t count) override {
    const ReadResult got = inner_.Read(buffer, count);
    if (!got.ok && MediumGone(got.error, Path())) throw MediumGoneError(got.error, Path(), "read");
    return got;
  }

  std::optional<AheadRead> ReadAhead(void* buffer, std::size_t count) override {
    const std::optional<AheadRead> got = inner_.ReadAhead(buffer, count);
    if (got && !got->read.ok && MediumGone(got->read.error, Path())) {
      throw MediumGoneError(got->read.error, Path(), "read");
    }
    return got;
  }

  void Close() override {
    try {
      inner_.Close();
    } catch (const FileSystemError& error) {
      // The run already knows the medium is gone, and close(2) released the descriptor.
      if (!MediumGone(error.Code(), Path())) throw;
    }
  }

 private:
  std::unique_ptr<File> owned_;
};

}  // namespace

std::unique_ptr<File> WatchMedium(std::unique_ptr<File> source) {
  return std::make_unique<WatchedMedium>(std::move(source));
}

bool SourceMediumGone(const FileSystemError& error, const std::string& selection_root,
                      std::optional<std::uint64_t> selection_device) {
  if (dynamic_cast<const MediumGoneError*>(&error) != nullptr) return true;
  const std::string& path = error.Path();
  const bool in_selection = path == selection_root || selection_root == "/" ||
                            (path.starts_with(selection_root) && path.size() > selection_root.size() &&
                             path[selection_root.size()] == '/');
  if (!in_selection || !MediumGone(error.Code(), path)) return false;
  // A file missing or failing while its selection still stands was deleted, or is damaged: the medium is there.
  const int code = error.Code();
  return (code != ENOENT && code != EIO && code != EBADF) || MediumGone(code, selection_root) ||
         DeviceOf(selection_root) != selection_device;
}

bool AwaitMedium(const MediumWait& wait, const std::function<bool()>& back) {
  if (wait.limit && *wait.limit <= Clock::Duration::zero()) return false;
  const Clock::TimePoint start = wait.clock.Now();
  for (;;) {
    wait.pump.ProcessMessages();
    if (wait.stopped) return false;
    if (back()) return true;
    if (wait.limit && wait.clock.Now() - start >= *wait.limit) return false;
    wait.pause(kMediumPollInterval);
  }
}

}  // namespace salvorine
