#!/usr/bin/env bash
# Installs the Debian packages Paperloom needs that are missing, then configures and builds it.
# Sourced by run.sh and test.sh; quick when everything is already there.
set -euo pipefail

PAPERLOOM_PACKAGES=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-svg-dev libgl-dev
    libzip-dev libpugixml-dev zlib1g-dev
    libgtest-dev libgmock-dev
    fonts-liberation fonts-dejavu-core
    libreoffice-writer-nogui libreofficekit-dev python3-uno python3-docx poppler-utils
    clang libclang-rt-14-dev
    dpkg-dev desktop-file-utils appstream
)

paperloom_missing_packages() {
    local missing=()
    local package
    for package in "${PAPERLOOM_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    echo "${missing[@]:-}"
}

paperloom_install_packages() {
    local missing
    missing=$(paperloom_missing_packages)
    [ -z "$missing" ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: $missing"
    "${sudo[@]}" apt-get update
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends $missing
}

paperloom_build() {
    local build_dir=$1
    shift
    cmake -S "$PAPERLOOM_ROOT" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$build_dir" -j "$(nproc)"
}

paperloom_build_fuzzer() {
    local build_dir=$1
    cmake -S "$PAPERLOOM_ROOT" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DPAPERLOOM_FUZZ=ON -DPAPERLOOM_BUILD_BENCH=OFF
    cmake --build "$build_dir" -j "$(nproc)" --target package_fuzz paste_fuzz
}

PAPERLOOM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
