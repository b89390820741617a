#!/usr/bin/env bash
# Checks that the engine stays portable: the recovery engine, the language
# and settings-file logic and the command-line front end include nothing but
# the C++ standard library and the project's own headers, and each of their
# sources compiles for Windows (MinGW-w64), where no POSIX or Linux call
# exists. Such calls belong in platform/, behind headers that compile there too.
set -euo pipefail
cd "$(dirname "$0")/.."

compiler=x86_64-w64-mingw32-g++-posix
sources=(recovery/*.cpp i18n/*.cpp settings/settings_file.cpp settings/settings_location.cpp cli/*.cpp)
headers=(recovery/*.h i18n/*.h settings/settings_file.h settings/settings_location.h cli/*.h platform/*.h)

# MinGW-w64 ships <unistd.h>, <fcntl.h>, <sys/stat.h> and <pthread.h> of its
# own, so compiling alone would let them in: only these headers are allowed.
standard_headers=" algorithm any array atomic barrier bit bitset charconv chrono compare complex concepts
  condition_variable coroutine deque exception execution filesystem format forward_list fstream functional
  future initializer_list iomanip ios iosfwd iostream istream iterator latch limits list locale map memory
  memory_resource mutex new numbers numeric optional ostream queue random ranges ratio regex scoped_allocator
  semaphore set shared_mutex source_location span sstream stack stdexcept stop_token streambuf string
  string_view syncstream system_error thread tuple type_traits typeindex typeinfo unordered_map unordered_set
  utility valarray variant vector version
  cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal cstdarg cstddef cstdint
  cstdio cstdlib cstring ctime cuchar cwchar cwctype "
standard_headers=$(tr -s ' \n' '  ' <<<"$standard_headers")

failed=0
while IFS=: read -r file line include; do
  name=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]*)[>"].*/\1/' <<<"$include")
  if [[ $include == *'"'* ]]; then
    [[ -f $name ]] && continue
    echo "$file:$line: includes \"$name\", which is not a file of the project" >&2
  else
    [[ $standard_headers == *" $name "* ]] && continue
    echo "$file:$line: includes <$name>, which is not a C++ standard header: put the call in platform/" >&2
  fi
  failed=1
done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include' "${sources[@]}" "${headers[@]}")

if ! command -v "$compiler" >/dev/null; then
  echo "$compiler is missing: scripts/setup.sh --packages-only installs it" >&2
  exit 1
fi
# Each source on its own, as many at once as there are cores; the defines stand in for the build's.
printf '%s\0' "${sources[@]}" |
  xargs -0 -n 1 -P "$(nproc)" "$compiler" -std=c++20 -fsyntax-only -I. -DSALVORINE_VERSION='"check"' ||
  failed=1

if ((failed)); then
  echo "The engine no longer compiles for another system: see above." >&2
  exit 1
fi
echo "The engine compiles for Windows (MinGW-w64) and includes only standard headers."
