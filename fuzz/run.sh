#!/usr/bin/env bash
# Fuzzes the INI reader with libFuzzer (clang) for FUZZ_SECONDS (default 60).
# Not part of the test run. Inputs that crash it belong in
# tests/data/profile_crashes/, which the unit tests read back.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${FUZZ_BUILD:-/tmp/salvorine-fuzz}
mkdir -p "$out" fuzz/corpus/profile_file
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -I. \
  platform/profile_file.cpp fuzz/profile_file_fuzzer.cpp -o "$out/profile_file_fuzzer"
"$out/profile_file_fuzzer" -max_total_time="${FUZZ_SECONDS:-60}" -artifact_prefix="$out/" \
  fuzz/corpus/profile_file
