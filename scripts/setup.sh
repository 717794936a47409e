#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Quick when all of
# them are already there (one dpkg-query); safe to run again; runs without a
# terminal. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
    # Native build and tests
    cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev clang-format git
    # Sanitizers and fuzz targets
    clang lld libclang-rt-14-dev
    # Windows builds
    mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    # Running the x86_64 build: Wine (wine gives the `wine` command over
    # wine64) with a virtual display; xwininfo finds the viewer's window
    wine wine64 xvfb xauth x11-utils
    # Independent programs the interoperability tests and the samples use
    # (pnmquant is a Perl script that needs more than perl-base; Pillow for
    # Debian's own python3; cwebp and dwebp for WebP)
    netpbm imagemagick libtiff-tools libjpeg-turbo-progs pngcheck perl python3-pil webp
    # Running batches over several machines (the README's recipe and its test)
    parallel
    # Building the image libraries from Debian's source packages
    # (scripts/deps.sh): unpacking, patching, zlib's make, libjpeg-turbo's SIMD
    make patch bzip2 xz-utils nasm
)
# The image libraries themselves are not among them: every build links the
# static libraries scripts/deps.sh builds from the revisions pinned in
# scripts/libraries.txt, whatever revision of Debian's packages the machine has.

installed=" $(dpkg-query -W -f='${db:Status-Status}=${Package} ' "${packages[@]}" 2> /dev/null || true) "
missing=()
for p in "${packages[@]}"; do
    case "$installed" in
    *" installed=$p "*) ;;
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
