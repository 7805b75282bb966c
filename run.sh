#!/usr/bin/env bash
# Installs what is missing, builds Paperloom into build/ and starts it.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
paperloom_install_packages
paperloom_build "$PAPERLOOM_ROOT/build"
exec "$PAPERLOOM_ROOT/build/bin/paperloom"
