// Compares a copy of a damaged-media bench file with what the file holds.
//
//   copy_check COPY SIZE SEED SECTOR [START:LENGTH ...]
//
// The ranges are the file's bad areas; with SECTOR above 1 each spoils the
// whole sectors it touches, as the bench's bad_sector does. Prints two numbers: bytes of the
// readable areas that the copy holds correctly (recovered), and bytes of the
// readable areas that it does not (readable bytes lost).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "damaged_media/pattern.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: copy_check COPY SIZE SEED SECTOR [START:LENGTH ...]\n");
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
  std::printf("%llu %llu\n", static_cast<unsigned long long>(recovered), static_cast<unsigned long long>(lost));
  return 0;
}
