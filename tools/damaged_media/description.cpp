#include "damaged_media/description.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "damaged_media/description_path.h"

namespace salvorine::damaged_media {
namespace {

constexpr uint64_t kMaxFileSize = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
constexpr uint64_t kMaxMilliseconds = 24ULL * 60 * 60 * 1000;

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t pos = 0;
  while (true) {
    pos = line.find_first_not_of(" \t\r", pos);
    if (pos == std::string_view::npos || line[pos] == '#') {
      return fields;
    }
    const size_t end = line.find_first_of(" \t\r", pos);
    fields.push_back(line.substr(pos, end == std::string_view::npos ? end : end - pos));
    if (end == std::string_view::npos) {
      return fields;
    }
    pos = end;
  }
}

uint64_t ParseNumber(std::string_view field, const char* what, uint64_t max) {
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (error == std::errc::result_out_of_range || (error == std::errc{} && value > max)) {
    throw std::invalid_argument(std::string(what) + " is too large: " + std::string(field));
  }
  if (error != std::errc{} || end != field.data() + field.size()) {
    throw std::invalid_argument(std::string(what) + " must be a decimal number: " +
                                std::string(field));
  }
  return value;
}

class LineParser {
 public:
  explicit LineParser(Description& description) : description_(description) {}

  void Parse(const std::vector<std::string_view>& fields) {
    const std::string_view directive = fields[0];
    if (directive == "dir") {
      ExpectFields(fields, 2, 2, "dir PATH");
      description_.tree.AddDir(ParseDescriptionPath(fields[1]));
    } else if (directive == "file") {
      ExpectFields(fields, 3, 4, "file PATH SIZE [SEED]");
      const uint64_t size = ParseNumber(fields[2], "SIZE", kMaxFileSize);
      const uint64_t seed = fields.size() == 4
                                ? ParseNumber(fields[3], "SEED", std::numeric_limits<uint64_t>::max())
                                : 0;
      description_.tree.AddFile(ParseDescriptionPath(fields[1]), size, seed);
    } else if (directive == "image") {
      ExpectFields(fields, 3, 3, "image PATH HOSTFILE");
      const std::string host(fields[2]);
      const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
      struct stat status {};
      if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const std::string reason = fd < 0 ? std::strerror(errno) : "not a regular file";
        if (fd >= 0) ::close(fd);
        throw std::invalid_argument("cannot serve " + host + ": " + reason);
      }
      description_.tree.AddFile(ParseDescriptionPath(fields[1]), static_cast<uint64_t>(status.st_size), 0).image_fd = fd;
    } else if (directive == "bad") {
      ExpectFields(fields, 4, 4, "bad PATH START LENGTH");
      AddFault(fields, FaultRange{.kind = FaultKind::kBad});
    } else if (directive == "slow") {
      ExpectFields(fields, 5, 5, "slow PATH START LENGTH MILLISECONDS");
      AddFault(fields, FaultRange{.kind = FaultKind::kSlow,
                                  .milliseconds = ParseNumber(fields[4], "MILLISECONDS",
                                                              kMaxMilliseconds)});
    } else if (directive == "flaky") {
      ExpectFields(fields, 5, 5, "flaky PATH START LENGTH FAILURES");
      AddFault(fields, FaultRange{.kind = FaultKind::kFlaky,
                                  .failures_left = ParseNumber(
                                      fields[4], "FAILURES", std::numeric_limits<uint64_t>::max())});
    } else if (directive == "bad_sector") {
      ExpectFields(fields, 2, 2, "bad_sector BYTES");
      description_.bad_sector = ParseNumber(fields[1], "BYTES", 1 << 20);
      if (description_.bad_sector == 0) throw std::invalid_argument("BYTES must be at least 1");
    } else if (directive == "delay_bad") {
      ExpectFields(fields, 2, 2, "delay_bad MILLISECONDS");
      description_.delay_bad_ms = ParseNumber(fields[1], "MILLISECONDS", kMaxMilliseconds);
    } else {
      throw std::invalid_argument("unknown directive '" + std::string(directive) + "'");
    }
  }

 private:
  static void ExpectFields(const std::vector<std::string_view>& fields, size_t min, size_t max,
                           const char* usage) {
    if (fields.size() < min || fields.size() > max) {
      throw std::invalid_argument(std::string("expected: ") + usage);
    }
  }

  void AddFault(const std::vector<std::string_view>& fields, FaultRange fault) {
    MediaNode* file = description_.tree.Find(ParseDescriptionPath(fields[1]));
    if (file == nullptr || file->is_dir) {
      throw std::invalid_argument("no file '" + std::string(fields[1]) +
                                  "' declared on an earlier line");
    }
    fault.start = ParseNumber(fields[2], "START", kMaxFileSize);
    fault.length = ParseNumber(fields[3], "LENGTH", kMaxFileSize);
    if (fault.length == 0) {
      throw std::invalid_argument("LENGTH must not be 0");
    }
    if (fault.start >= file->size) {
      throw std::invalid_argument("START lies at or past the end of the file (" +
                                  std::to_string(file->size) + " bytes)");
    }
    file->faults.push_back(fault);
  }

  Description& description_;
};

}  // namespace

DescriptionError::DescriptionError(size_t line, const std::string& reason)
    : std::runtime_error("line " + std::to_string(line) + ": " + reason), line_(line) {}

Description ParseDescription(std::istream& in) {
  Description description;
  LineParser parser(description);
  std::string line;
  for (size_t number = 1; std::getline(in, line); ++number) {
    const auto fields = SplitFields(line);
    if (fields.empty()) {
      continue;
    }
    try {
      parser.Parse(fields);
    } catch (const std::invalid_argument& error) {
      throw DescriptionError(number, error.what());
    }
  }
  return description;
}

Description LoadDescription(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot open " + file.string() + ": " + std::strerror(errno));
  }
  Description description = ParseDescription(in);
  if (in.bad()) {
    throw std::runtime_error("cannot read " + file.string() + ": " + std::strerror(errno));
  }
  return description;
}

}  // namespace salvorine::damaged_media
