#pragma once

#include "platform/file.h"

namespace salvorine {

// A file that hands every operation to another one: the base of wrappers that
// change a few operations and must pass everything else through (direct
// reads, holes) rather than fall back to File's defaults. ReadAhead is the
// exception: it keeps File's default (no read ahead), so that a wrapper that
// changes Read is never passed by; one that can read ahead says so itself.
class ForwardingFile : public File {
 public:
  explicit ForwardingFile(File& inner) : inner_(inner) {}

  const std::string& Path() const override { return inner_.Path(); }
  void Seek(std::int64_t position) override { inner_.Seek(position); }
  ReadResult Read(void* buffer, std::size_t count) override { return inner_.Read(buffer, count); }
  std::optional<ReadResult> ReadIfReady(void* buffer, std::size_t count) override {
    return inner_.ReadIfReady(buffer, count);
  }
  void Write(const void* buffer, std::size_t count) override { inner_.Write(buffer, count); }
  void WriteZeros(std::int64_t count) override { inner_.WriteZeros(count); }
  std::int64_t Size() override { return inner_.Size(); }
  FileStatus Status() override { return inner_.Status(); }
  void Truncate() override { inner_.Truncate(); }
  void Close() override { inner_.Close(); }
  void Sync() override { inner_.Sync(); }
  void SetModeAndTime(unsigned mode, const FileStatus& modified) override { inner_.SetModeAndTime(mode, modified); }
  std::int64_t BlockSize() override { return inner_.BlockSize(); }
  bool ReadDirectly(std::int64_t sector) override { return inner_.ReadDirectly(sector); }
  bool ReadsDirectly() const override { return inner_.ReadsDirectly(); }
  std::vector<std::pair<std::int64_t, std::int64_t>> DataExtents(std::int64_t size) override {
    return inner_.DataExtents(size);
  }

 protected:
  File& inner_;
};

}  // namespace salvorine
