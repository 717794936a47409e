#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Quick when all of
# them are already there (one dpkg-query); safe to run again; runs without a
# terminal. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
    # Native build and tests
    cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev clang-format
    # Sanitizers and fuzz targets
    clang lld libclang-rt-14-dev
    # Windows builds
    mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    # Running the x86_64 build: Wine (wine gives the `wine` command over
    # wine64) with a virtual display
    wine wine64 xvfb xauth
    # Independent programs the interoperability tests and the samples use
    netpbm imagemagick libtiff-tools libjpeg-turbo-progs pngcheck
    # Building the Windows image libraries from Debian's source packages
    # (scripts/deps.sh): unpacking, patching, zlib's make, libjpeg-turbo's SIMD
    make patch bzip2 xz-utils nasm
)
# The image libraries of the native builds, at the upstream versions
# scripts/deps.sh builds for Windows (any Debian revision: security fixes).
pinned=(
    'zlib1g-dev=1:1.2.13.dfsg-*'
    'libpng-dev=1.6.39-*'
    'libjpeg62-turbo-dev=1:2.1.5-*'
    'libtiff-dev=4.5.0-*'
)

names=("${packages[@]}")
for p in "${pinned[@]}"; do names+=("${p%%=*}"); done
installed=" $(dpkg-query -W -f='${db:Status-Status}=${Package}=${Version} ' "${names[@]}" 2> /dev/null || true) "
missing=()
for p in "${packages[@]}"; do
    case "$installed" in
    *" installed=$p="*) ;;
    *) missing+=("$p") ;;
    esac
done
for p in "${pinned[@]}"; do
    # The version part is a glob, for the shell here as for apt-get.
    # shellcheck disable=SC2254
    case "$installed" in
    *" installed="$p" "*) ;;
    *) missing+=("$p") ;;
    esac
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "setup: installing ${missing[*]}" >&2
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo > /dev/null; then
        sudo=(sudo)
    else
        echo "setup: missing packages and not root: ${missing[*]}" >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q "${missing[@]}"
