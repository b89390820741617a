#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>

#include "platform/profile_write_error.h"

namespace salvorine {
namespace {

constexpr std::size_t kMaxValueLength = 2047;

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The name of a "[name]" line, or false when the line is not a section header.
bool SectionName(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (!line.starts_with('[')) return false;
  const auto close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = Trim(line.substr(1, close - 1));
  return true;
}

// The key and value of a "key=value" line, or false for comments and malformed lines.
bool KeyAndValue(std::string_view line, std::string_view& key, std::string_view& value) {
  line = Trim(line);
  const auto equals = line.find('=');
  if (line.starts_with(';') || line.starts_with('#') || equals == std::string_view::npos) return false;
  key = Trim(line.substr(0, equals));
  value = Trim(line.substr(equals + 1));
  return !key.empty();
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace

bool ParseProfileInteger(std::string_view text, long long& value) {
  text = Trim(text);
  int base = 10;
  bool negative = false;
  if (text.starts_with('-')) {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.starts_with('$')) {
    base = 16;
    text.remove_prefix(1);
  }
  unsigned long long magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return false;
  if (magnitude > static_cast<unsigned long long>(INT64_MAX)) return false;
  value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
  return true;
}

namespace {

std::string Content(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : ProfileFile(path, Content(path)) {}

ProfileFile::ProfileFile(std::string path, std::string_view text) : path_(std::move(path)) {
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines_.emplace_back(line);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
}

long ProfileFile::FindKey(std::string_view section, std::string_view key) const {
  bool in_section = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name, found_key, value;
    if (SectionName(lines_[i], name)) {
      in_section = EqualIgnoringCase(name, section);
    } else if (in_section && KeyAndValue(lines_[i], found_key, value) && EqualIgnoringCase(found_key, key)) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    const std::string& default_value) const {
  const long at = FindKey(section, key);
  if (at < 0) return default_value;
  std::string_view found_key, value;
  KeyAndValue(lines_[static_cast<std::size_t>(at)], found_key, value);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return std::string(value.substr(0, kMaxValueLength));
}

long long ProfileFile::ReadInteger(std::string_view section, std::string_view key, long long default_value) const {
  long long value = 0;
  return ParseProfileInteger(ReadString(section, key, ""), value) ? value : default_value;
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

void ProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key) + "=" + std::string(value);
  const long at = FindKey(section, key);
  if (at >= 0) {
    lines_[static_cast<std::size_t>(at)] = std::move(line);
  } else {
    // After the section's last key-or-comment line, before any blank lines that end it.
    long section_at = -1;
    std::size_t insert_at = lines_.size();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      std::string_view name;
      if (SectionName(lines_[i], name)) {
        if (section_at >= 0) break;
        if (EqualIgnoringCase(name, section)) section_at = static_cast<long>(i);
      }
      if (section_at >= 0 && !Trim(lines_[i]).empty()) insert_at = i + 1;
    }
    if (section_at < 0) {
      std::string header = "[";
      header.append(section).push_back(']');
      lines_.push_back(std::move(header));
      lines_.push_back(std::move(line));
    } else {
      lines_.insert(lines_.begin() + static_cast<long>(insert_at), std::move(line));
    }
  }
  Save();
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, long long value) {
  WriteString(section, key, std::to_string(value));
}

void ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void ProfileFile::Save() const {
  struct stat existing {};
  const bool exists = ::stat(path_.c_str(), &existing) == 0;
  // A file without write permission stays as it is, whoever runs the program.
  if (exists && (existing.st_mode & 0222) == 0) throw ProfileWriteError(path_);

  std::string text;
  for (const std::string& line : lines_) text += line + "\n";
  // Created with mode 0666, which the kernel narrows by the umask: reading the
  // umask would mean setting it, and that races with files other threads create.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary = path_ + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) throw ProfileWriteError(path_);
  bool written = WriteAll(fd, text) && (!exists || ::fchmod(fd, existing.st_mode & 07777) == 0) && ::fsync(fd) == 0;
  if (::close(fd) != 0) written = false;
  if (!written || ::rename(temporary.c_str(), path_.c_str()) != 0) {
    ::unlink(temporary.c_str());
    throw ProfileWriteError(path_);
  }
}

}  // namespace salvorine
