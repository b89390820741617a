#pragma once

#include <string>

namespace salvorine::test {

// A fresh folder under /tmp, removed with everything in it at destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Path() + "/" + relative.
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Writes `content` to `path`, creating missing parent folders.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);

// Points $TMPDIR at a folder for the lifetime of the object, so that the
// working folder of a test is its own.
class ScopedTmpdir {
 public:
  explicit ScopedTmpdir(const std::string& folder);
  ~ScopedTmpdir();
  ScopedTmpdir(const ScopedTmpdir&) = delete;
  ScopedTmpdir& operator=(const ScopedTmpdir&) = delete;

 private:
  std::string saved_;
  bool had_value_;
};

}  // namespace salvorine::test
