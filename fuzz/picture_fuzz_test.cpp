// Mutation fuzzing of the picture decoders; not part of the test run. Starting
// from generated pictures, it flips bytes, cuts files short and zeroes blocks,
// then loads each mutant. A decoder may refuse a mutant with PictureError or
// return a picture; anything else thrown is reported and makes the exit status
// non-zero, and a crash leaves the mutant that caused it in the work folder.
//
// Usage: picture_fuzz [mutants per seed file, default 3000] [random seed] [work folder]
#include <QElapsedTimer>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "preview/picture_loader.h"
#include "tests/support/picture_files.h"

namespace {

using salvorine::LoadPicture;
using salvorine::PictureError;
namespace test = salvorine::test;

struct Seed {
  std::string name;
  std::function<void(const std::string&)> write;
};

std::vector<Seed> Seeds() {
  const test::MetafileExtras everything{.text = true, .bitmap = true};
  return {
      {"seed.bmp", test::WriteBmp},
      {"seed.ico", test::WriteIco},
      {"seed.jpg", [](const std::string& path) { test::WriteJpeg(path); }},
      {"progressive.jpg",
       [](const std::string& path) { test::WriteJpeg(path, {.scans = test::JpegScans::kProgressive}); }},
      {"cmyk.jpg", [](const std::string& path) { test::WriteJpeg(path, {.colours = test::JpegColours::kCmyk}); }},
      {"seed.wmf", [](const std::string& path) { test::WriteWmf(path); }},
      {"full.wmf", [everything](const std::string& path) { test::WriteWmf(path, everything); }},
      {"seed.emf", [](const std::string& path) { test::WriteEmf(path); }},
      {"full.emf", [everything](const std::string& path) { test::WriteEmf(path, everything); }},
  };
}

std::string Load(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void Save(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.flush();
  if (!file) throw std::runtime_error("cannot write " + path);
}

// One to four damages of the kinds recovered files show: changed bytes, a cut
// end, a zeroed block, values that size fields choke on.
std::string Mutate(std::string bytes, std::mt19937& random) {
  const auto below = [&random](std::size_t limit) {
    return limit == 0 ? std::size_t{0} : std::uniform_int_distribution<std::size_t>(0, limit - 1)(random);
  };
  const std::size_t damages = 1 + below(4);
  for (std::size_t damage = 0; damage < damages && !bytes.empty(); ++damage) {
    switch (below(5)) {
      case 0:
        for (std::size_t flips = 1 + below(8); flips > 0; --flips) {
          bytes[below(bytes.size())] = static_cast<char>(below(256));
        }
        break;
      case 1:
        bytes[below(bytes.size())] ^= static_cast<char>(1u << below(8));
        break;
      case 2:
        bytes.resize(below(bytes.size()));
        break;
      case 3: {
        const std::size_t start = below(bytes.size());
        const std::size_t length = std::min(bytes.size() - start, 1 + below(std::max<std::size_t>(bytes.size() / 4, 1)));
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(start), length, '\0');
        break;
      }
      default: {
        static const char kExtremes[][4] = {{'\xFF', '\xFF', '\xFF', '\xFF'}, {'\xFF', '\xFF', '\xFF', '\x7F'},
                                            {'\0', '\0', '\0', '\x80'}, {'\0', '\0', '\0', '\0'}};
        const std::size_t at = below(bytes.size());
        const char* extreme = kExtremes[below(4)];
        for (std::size_t index = 0; index < 4 && at + index < bytes.size(); ++index) bytes[at + index] = extreme[index];
        break;
      }
    }
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const long mutants = argc > 1 ? std::stol(argv[1]) : 3000;
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::stoul(argv[2])) : 1;
  const std::filesystem::path folder = argc > 3 ? argv[3] : "/tmp/salvorine-picture-fuzz";
  std::filesystem::create_directories(folder);
  std::mt19937 random(seed);

  long loads = 0, failures = 0;
  for (const Seed& file : Seeds()) {
    const std::string original_path = (folder / ("original-" + file.name)).string();
    file.write(original_path);
    const std::string original = Load(original_path);
    const std::string mutant_path = (folder / ("mutant-" + file.name)).string();
    long decoded = 0, refused = 0;
    qint64 slowest = 0;
    for (long index = 0; index < mutants; ++index) {
      Save(mutant_path, Mutate(original, random));
      QElapsedTimer timer;
      timer.start();
      try {
        decoded += LoadPicture(mutant_path).isNull() ? 0 : 1;
      } catch (const PictureError&) {
        ++refused;
      } catch (const std::exception& error) {
        ++failures;
        const std::string kept = (folder / ("failure-" + std::to_string(failures) + "-" + file.name)).string();
        std::filesystem::copy_file(mutant_path, kept, std::filesystem::copy_options::overwrite_existing);
        std::printf("%s: unexpected %s (kept as %s)\n", file.name.c_str(), error.what(), kept.c_str());
      }
      slowest = std::max(slowest, timer.elapsed());
      ++loads;
    }
    std::printf("%-16s %ld mutants: %ld decoded, %ld refused, slowest %lld ms\n", file.name.c_str(), mutants, decoded,
                refused, static_cast<long long>(slowest));
    std::fflush(stdout);
  }
  std::printf("%ld passed, %ld failed\n", loads - failures, failures);
  return failures == 0 ? 0 : 1;
}
