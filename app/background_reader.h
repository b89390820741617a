#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/file.h"

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
class BackgroundReadFile final : public File {
 public:
  BackgroundReadFile(std::unique_ptr<File> inner, BackgroundReader& reader)
      : inner_(std::move(inner)), reader_(reader) {}

  const std::string& Path() const override { return inner_->Path(); }
  void Seek(std::int64_t position) override { inner_->Seek(position); }
  // A read the kernel can serve at once (from the page cache) stays on this thread:
  // handing it over would cost more than the read itself.
  ReadResult Read(void* buffer, std::size_t count) override {
    if (const std::optional<ReadResult> ready = inner_->ReadIfReady(buffer, count)) return *ready;
    return reader_.Read(*inner_, buffer, count);
  }
  std::optional<ReadResult> ReadIfReady(void* buffer, std::size_t count) override {
    return inner_->ReadIfReady(buffer, count);
  }
  void Write(const void* buffer, std::size_t count) override { inner_->Write(buffer, count); }
  void WriteZeros(std::int64_t count) override { inner_->WriteZeros(count); }
  std::int64_t Size() override { return inner_->Size(); }
  FileStatus Status() override { return inner_->Status(); }
  void Truncate() override { inner_->Truncate(); }
  void Close() override { inner_->Close(); }
  std::int64_t BlockSize() override { return inner_->BlockSize(); }
  bool ReadDirectly(std::int64_t sector) override { return inner_->ReadDirectly(sector); }
  bool ReadsDirectly() const override { return inner_->ReadsDirectly(); }
  std::vector<std::pair<std::int64_t, std::int64_t>> DataExtents(std::int64_t size) override {
    return inner_->DataExtents(size);
  }

 private:
  std::unique_ptr<File> inner_;
  BackgroundReader& reader_;
};

}  // namespace salvorine
