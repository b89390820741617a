#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/forwarding_file.h"

namespace salvorine {

// Runs block reads on one helper thread while the window thread keeps
// processing window messages, so that a read stalled on a damaged disc does
// not freeze the window. Everything but the read itself stays on the window thread.
//
// Each call has its own request and result: a read started by a command that
// runs while another read waits (inside that wait's message processing) can
// never receive or overwrite the other's result.
class BackgroundReader {
 public:
  BackgroundReader();
  ~BackgroundReader();
  BackgroundReader(const BackgroundReader&) = delete;
  BackgroundReader& operator=(const BackgroundReader&) = delete;

  // file.Read(buffer, count), performed on the helper thread; returns when it is done.
  ReadResult Read(File& file, void* buffer, std::size_t count);

 private:
  struct Request;
  void Work();
  Request* NextRequest();

  std::mutex mutex_;
  std::condition_variable requested_;  // the helper waits here for work
  std::condition_variable finished_;   // callers wait here for their result
  std::deque<Request*> queue_;
  std::atomic<std::size_t> queued_{0};
  bool quit_ = false;
  std::thread worker_;
};

// A source whose reads go through a BackgroundReader; every other operation stays direct.
class BackgroundReadFile final : public ForwardingFile {
 public:
  BackgroundReadFile(std::unique_ptr<File> inner, BackgroundReader& reader)
      : ForwardingFile(*inner), owned_(std::move(inner)), reader_(reader) {}

  // A read the kernel can serve at once (from the page cache) stays on this thread:
  // handing it over would cost more than the read itself.
  ReadResult Read(void* buffer, std::size_t count) override {
    if (const std::optional<ReadResult> ready = inner_.ReadIfReady(buffer, count)) return *ready;
    return reader_.Read(inner_, buffer, count);
  }

 private:
  std::unique_ptr<File> owned_;
  BackgroundReader& reader_;
};

}  // namespace salvorine
