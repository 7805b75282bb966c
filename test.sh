#!/usr/bin/env bash
# Installs what is missing, builds Paperloom into build/ and runs the whole test suite.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
paperloom_install_packages
paperloom_build "$PAPERLOOM_ROOT/build"
cd "$PAPERLOOM_ROOT/build"
ctest --output-on-failure -j "$(nproc)"
