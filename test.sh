#!/usr/bin/env bash
# Installs what is missing, builds Paperloom into build/ and runs the whole test suite, then
# fuzzes package reading briefly.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
paperloom_install_packages
paperloom_build "$PAPERLOOM_ROOT/build"
cd "$PAPERLOOM_ROOT/build"
ctest --output-on-failure -j "$(nproc)"

# A short fuzzing run of package reading (libFuzzer needs clang: a tree of its own).
paperloom_build_fuzzer "$PAPERLOOM_ROOT/build-fuzz"
ctest --test-dir "$PAPERLOOM_ROOT/build-fuzz" -R engine_package_fuzz --output-on-failure
