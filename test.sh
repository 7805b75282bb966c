#!/usr/bin/env bash
# Installs what is missing, builds Paperloom into build/ and runs the whole test suite, then
# fuzzes package reading and pasting briefly.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
paperloom_install_packages
paperloom_build "$PAPERLOOM_ROOT/build"
cd "$PAPERLOOM_ROOT/build"
ctest --output-on-failure -j "$(nproc)"

# Short fuzzing runs of package reading and pasting (libFuzzer needs clang: a tree of its own).
paperloom_build_fuzzer "$PAPERLOOM_ROOT/build-fuzz"
ctest --test-dir "$PAPERLOOM_ROOT/build-fuzz" -R 'engine_(package|paste)_fuzz' --output-on-failure
