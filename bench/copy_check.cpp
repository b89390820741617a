// Compares a copy of a damaged-media bench file with what the file holds.
//
//   copy_check [--trace FILE] COPY SIZE SEED SECTOR [START:LENGTH ...]
//
// The ranges are the file's bad areas; with SECTOR above 1 each spoils the
// whole sectors it touches, as the bench's bad_sector does. Prints two numbers: bytes of the
// readable areas that the copy holds correctly (recovered), and bytes of the
// readable areas that it does not (readable bytes lost). With the bench's
// --trace output, a third: the failed reads paid before the requests served
// 99% of the readable bytes ("-" if they never did), which shows the order
// in which a tool works.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "damaged_media/pattern.h"

// The failed requests in `trace` before the served ones covered 99% of the
// bytes that are not `bad`; -1 if they never did.
long long FailedReadsTo99Percent(const char* trace, const std::vector<bool>& bad) {
  const auto readable = static_cast<std::uint64_t>(std::count(bad.begin(), bad.end(), false));
  std::vector<bool> served(bad.size(), false);
  std::ifstream in(trace);
  std::uint64_t offset = 0, length = 0, covered = 0;
  int ok = 0;
  long long failed = 0;
  while (covered * 100 < readable * 99 && in >> offset >> length >> ok) {
    if (ok == 0) ++failed;
    for (std::uint64_t at = offset; ok != 0 && at < offset + length && at < bad.size(); ++at) {
      if (bad[at] || served[at]) continue;
      served[at] = true;
      ++covered;
    }
  }
  return covered * 100 >= readable * 99 ? failed : -1;
}

int main(int argc, char** argv) {
  const char* trace = nullptr;
  if (argc > 2 && std::string(argv[1]) == "--trace") {
    trace = argv[2];
    argc -= 2;
    argv += 2;
  }
  if (argc < 5) {
    std::fprintf(stderr, "usage: copy_check [--trace FILE] COPY SIZE SEED SECTOR [START:LENGTH ...]\n");
    return 2;
  }
  const std::uint64_t size = std::stoull(argv[2]);
  const std::uint64_t seed = std::stoull(argv[3]);
  const std::uint64_t sector = std::max<std::uint64_t>(1, std::stoull(argv[4]));
  std::vector<bool> bad(size, false);
  for (int i = 5; i < argc; ++i) {
    const std::string range = argv[i];
    const auto colon = range.find(':');
    const std::uint64_t start = std::stoull(range.substr(0, colon)) / sector * sector;
    const std::uint64_t end = (std::stoull(range.substr(0, colon)) + std::stoull(range.substr(colon + 1)) + sector - 1) /
                              sector * sector;
    for (std::uint64_t at = start; at < end && at < size; ++at) bad[at] = true;
  }
  std::ifstream copy(argv[1], std::ios::binary);
  std::vector<std::uint8_t> expected(1 << 20), actual(1 << 20);
  std::uint64_t recovered = 0, lost = 0;
  for (std::uint64_t offset = 0; offset < size; offset += expected.size()) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(expected.size(), size - offset));
    salvorine::damaged_media::FillPattern(seed, offset, expected.data(), count);
    std::fill(actual.begin(), actual.end(), 0);
    copy.read(reinterpret_cast<char*>(actual.data()), static_cast<std::streamsize>(count));
    copy.clear();
    for (std::size_t i = 0; i < count; ++i) {
      if (bad[offset + i]) continue;
      (actual[i] == expected[i] ? recovered : lost) += 1;
    }
  }
  std::printf("%llu %llu", static_cast<unsigned long long>(recovered), static_cast<unsigned long long>(lost));
  if (trace != nullptr) {
    const long long failed = FailedReadsTo99Percent(trace, bad);
    if (failed < 0) {
      std::printf(" -");
    } else {
      std::printf(" %lld", failed);
    }
  }
  std::printf("\n");
  return 0;
}
