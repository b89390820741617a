#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace salvorine::test {

TempFolder::TempFolder() {
  std::string pattern = "/tmp/salvorine-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  if (!file) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

ScopedTmpdir::ScopedTmpdir(const std::string& folder) {
  const char* value = std::getenv("TMPDIR");
  had_value_ = value != nullptr;
  if (had_value_) saved_ = value;
  ::setenv("TMPDIR", folder.c_str(), 1);
}

ScopedTmpdir::~ScopedTmpdir() {
  if (had_value_) {
    ::setenv("TMPDIR", saved_.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

}  // namespace salvorine::test
