#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/file.h"

class QEventLoop;

namespace salvorine {

// Runs block reads on one helper thread while the window thread keeps
// processing window messages, so that a read stalled on a damaged disc does
// not freeze the window. Everything but the read itself stays on the window thread.
class BackgroundReader {
 public:
  BackgroundReader();
  ~BackgroundReader();
  BackgroundReader(const BackgroundReader&) = delete;
  BackgroundReader& operator=(const BackgroundReader&) = delete;

  // file.Read(buffer, count), performed on the helper thread; returns when it is done.
  ReadResult Read(File& file, void* buffer, std::size_t count);

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable changed_;
  File* file_ = nullptr;
  void* buffer_ = nullptr;
  std::size_t count_ = 0;
  ReadResult result_;
  bool pending_ = false;
  bool done_ = false;
  bool quit_ = false;
  QEventLoop* waiting_loop_ = nullptr;
  std::thread worker_;
};

// A source whose reads go through a BackgroundReader; every other operation stays direct.
class BackgroundReadFile final : public File {
 public:
  BackgroundReadFile(std::unique_ptr<File> inner, BackgroundReader& reader)
      : inner_(std::move(inner)), reader_(reader) {}

  const std::string& Path() const override { return inner_->Path(); }
  void Seek(std::int64_t position) override { inner_->Seek(position); }
  ReadResult Read(void* buffer, std::size_t count) override { return reader_.Read(*inner_, buffer, count); }
  void Write(const void* buffer, std::size_t count) override { inner_->Write(buffer, count); }
  std::int64_t Size() override { return inner_->Size(); }
  void Truncate() override { inner_->Truncate(); }
  void Close() override { inner_->Close(); }
  std::int64_t BlockSize() override { return inner_->BlockSize(); }

 private:
  std::unique_ptr<File> inner_;
  BackgroundReader& reader_;
};

}  // namespace salvorine
