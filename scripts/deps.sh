#!/usr/bin/env bash
# The image libraries of the Windows programs: zlib, libpng, libjpeg-turbo and
# libtiff, built as static libraries from Debian 12's own source packages, so
# that the Windows builds use the same versions as the native ones (which link
# Debian's -dev packages). Debian ships none of them for mingw-w64.
#
#   bash scripts/deps.sh fetch           # sources into build/deps/src/
#   bash scripts/deps.sh build TRIPLE    # x86_64-w64-mingw32 or i686-w64-mingw32
#
# fetch downloads the source packages with a private apt configuration under
# build/deps/apt/ (the machine's sources with deb-src added; the machine's own
# apt setup is left alone) into build/deps/download/ and unpacks them, Debian's
# patches applied, into build/deps/src/ as zlib-1.2.13, libpng-1.6.39,
# libjpeg-turbo-2.1.5 and libtiff-v4.5.0; the tests read pictures from there.
# build fetches when needed and installs the static libraries, their headers
# and their pkg-config files into build/deps/TRIPLE/. A stamp per library and
# target records the source version and the build flags: a second run does
# nothing, and a build that failed (no stamp) starts again from clean.
#
# Both commands first check that the installed native -dev packages carry the
# same upstream versions (the Debian revisions may differ by security fixes).
set -euo pipefail
exec < /dev/null

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps=$top/build/deps
jobs=2

libs=(zlib libpng libjpeg-turbo libtiff)
# The source packages of bookworm main (the security archive's source files
# are not on this mirror).
declare -A package=([zlib]=zlib [libpng]=libpng1.6 [libjpeg-turbo]=libjpeg-turbo [libtiff]=tiff)
declare -A version=([zlib]=1:1.2.13.dfsg-1 [libpng]=1.6.39-2+deb12u5 [libjpeg-turbo]=1:2.1.5-2
    [libtiff]=4.5.0-6+deb12u4)
declare -A upstream=([zlib]=1.2.13 [libpng]=1.6.39 [libjpeg-turbo]=2.1.5 [libtiff]=4.5.0)
declare -A srcname=([zlib]=zlib-1.2.13 [libpng]=libpng-1.6.39 [libjpeg-turbo]=libjpeg-turbo-2.1.5
    [libtiff]=libtiff-v4.5.0)
declare -A native=([zlib]=zlib1g-dev [libpng]=libpng-dev [libjpeg-turbo]=libjpeg62-turbo-dev
    [libtiff]=libtiff-dev)
# A library is rebuilt when one it links against changed: their stamps are
# part of its own.
declare -A needs=([zlib]="" [libpng]="zlib" [libjpeg-turbo]="" [libtiff]="zlib libjpeg-turbo")

die() {
    echo "deps: $*" >&2
    exit 1
}

usage() {
    echo "usage: bash scripts/deps.sh fetch | build x86_64-w64-mingw32|i686-w64-mingw32" >&2
    exit 2
}

# The upstream part of a Debian version: no epoch, revision or repack suffix.
upstream_of() {
    local v=${1#*:}
    v=${v%-*}
    echo "${v%.dfsg}"
}

check_native() {
    local lib installed
    for lib in "${libs[@]}"; do
        installed=$(dpkg-query -W -f='${db:Status-Status} ${Version}' "${native[$lib]}" 2> /dev/null ||
            true)
        case "$installed" in
        "installed "*) ;;
        *) die "${native[$lib]} is not installed (bash scripts/setup.sh installs it)" ;;
        esac
        installed=${installed#installed }
        if [ "$(upstream_of "$installed")" != "${upstream[$lib]}" ]; then
            die "${native[$lib]} $installed is installed, but the Windows builds use $lib" \
                "${upstream[$lib]} (${package[$lib]} ${version[$lib]}); install ${native[$lib]}" \
                "${upstream[$lib]} (bash scripts/setup.sh pins it)"
        fi
    done
}

source_id() {
    echo "${package[$1]}=${version[$1]}"
}

# The original tarball of LIB (its compression differs between packages) and
# its Debian tarball, as downloaded; empty when not there.
orig_tarball() {
    local v=${version[$1]#*:}
    compgen -G "$deps/download/${package[$1]}_${v%-*}.orig.tar.*" | head -n 1 || true
}
debian_tarball() {
    local v=${version[$1]#*:} f
    f=$deps/download/${package[$1]}_$v.debian.tar.xz
    if [ -f "$f" ]; then echo "$f"; fi
}

# download LIB...: the .dsc, original tarball and Debian tarball of each.
download() {
    local apt=$deps/apt
    mkdir -p "$apt/etc" "$apt/lists/partial" "$apt/cache/archives/partial" "$deps/download"
    sed 's/^Types:.*/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources > \
        "$apt/etc/debian.sources"
    local options=(-q -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/etc"
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
        -o APT::Sandbox::User=root)
    local lib wanted=()
    for lib in "$@"; do wanted+=("$(source_id "$lib")"); done
    echo "deps: downloading ${wanted[*]}"
    if ! apt-get "${options[@]}" update > "$apt/apt.log" 2>&1 ||
        ! (cd "$deps/download" && apt-get "${options[@]}" source --download-only "${wanted[@]}") \
            >> "$apt/apt.log" 2>&1; then
        cat "$apt/apt.log" >&2
        die "downloading the source packages failed"
    fi
}

# Debian's patches are applied because they are part of the library Debian
# ships (its security fixes above all): the Windows builds then match the
# native ones. A patch that does not apply exactly stops the run.
apply_patches() {
    local dir=$1 name options
    [ -f "$dir/debian/patches/series" ] || return 0
    while read -r name options; do
        case "$name" in '' | '#'*) continue ;; esac
        patch -d "$dir" --batch --forward --silent --fuzz=0 --no-backup-if-mismatch \
            --remove-empty-files ${options:--p1} -i "debian/patches/$name" || die "debian/patches/$name does not apply"
    done < "$dir/debian/patches/series"
}

# unpack LIB: the original tarball with the Debian tarball and its patches,
# into build/deps/src/ under the upstream directory name.
unpack() {
    local lib=$1 orig debian
    orig=$(orig_tarball "$lib")
    debian=$(debian_tarball "$lib")
    [ -n "$orig" ] && [ -n "$debian" ] || die "$(source_id "$lib"): tarballs missing"
    local tmp=$deps/src/.unpack-$lib dest=$deps/src/${srcname[$lib]}
    rm -rf "$tmp" "$dest"
    mkdir -p "$tmp"
    tar -xf "$orig" -C "$tmp"
    local unpacked=("$tmp"/*)
    [ ${#unpacked[@]} -eq 1 ] && [ -d "${unpacked[0]}" ] || die "$orig: not one top folder"
    tar -xf "$debian" -C "${unpacked[0]}"
    apply_patches "${unpacked[0]}"
    mv "${unpacked[0]}" "$dest"
    rmdir "$tmp"
    source_id "$lib" > "$deps/src/.$lib.stamp"
}

fetch() {
    check_native
    local lib missing=() absent=()
    for lib in "${libs[@]}"; do
        if [ "$(cat "$deps/src/.$lib.stamp" 2> /dev/null)" != "$(source_id "$lib")" ] ||
            [ ! -d "$deps/src/${srcname[$lib]}" ]; then
            missing+=("$lib")
            if [ -z "$(orig_tarball "$lib")" ] || [ -z "$(debian_tarball "$lib")" ]; then
                absent+=("$lib")
            fi
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ ${#absent[@]} -gt 0 ]; then download "${absent[@]}"; fi
    mkdir -p "$deps/src"
    for lib in "${missing[@]}"; do
        echo "deps: unpacking $(source_id "$lib") into build/deps/src/${srcname[$lib]}"
        unpack "$lib"
    done
}

# The configure command of LIB for the current target, one word a line: what
# the stamp records and what build_lib runs.
configure_words() {
    local lib=$1 src=$deps/src/${srcname[$1]}
    case "$lib" in
    zlib)
        # Debian's repacked zlib has no win32/ makefiles; its configure script
        # knows mingw from CHOST. --static: libz.a only.
        printf '%s\n' env CHOST="$triple" CC="$cc" AR="$triple-ar" RANLIB="$triple-ranlib" \
            CFLAGS=-O2 "$src/configure" --static --prefix="$prefix"
        ;;
    *)
        printf '%s\n' cmake -S "$src" -B "$work/$lib" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$triple.cmake" \
            -DZENDRA_DEPS_PREFIX="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" \
            -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
        ;;
    esac
    case "$lib" in
    libpng)
        printf '%s\n' -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF \
            -DSKIP_INSTALL_EXECUTABLES=ON -DSKIP_INSTALL_PROGRAMS=ON
        ;;
    libjpeg-turbo)
        printf '%s\n' -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
            -DWITH_JAVA=OFF -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
        ;;
    libtiff)
        # The codecs the TIFF reader and writer use; nothing that needs
        # another library beyond zlib and libjpeg.
        printf '%s\n' -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
            -Dcxx=OFF -Dccitt=ON -Dpackbits=ON -Dlzw=ON -Dthunder=ON -Dnext=ON -Dzlib=ON \
            -Djpeg=ON -Dlogluv=OFF -Dmdi=OFF -Dpixarlog=OFF -Dold-jpeg=OFF -Djpeg12=OFF \
            -Dlibdeflate=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
            -Dtiff-opengl=OFF
        ;;
    esac
}

# What a library's stamp holds: source, compiler, toolchain file, configure
# command and the stamps of the libraries it links against.
stamp_text() {
    local lib=$1 dep
    echo "source $(source_id "$lib")"
    echo "compiler $cc $compiler_version"
    echo "toolchain $(cksum < "$top/cmake/toolchain-$triple.cmake")"
    configure_words "$lib"
    for dep in ${needs[$lib]}; do
        echo "needs $dep"
        cat "$prefix/.stamps/$dep" 2> /dev/null || echo "(not built)"
    done
}

build_lib() {
    local lib=$1
    local words=()
    mapfile -t words < <(configure_words "$lib")
    rm -rf "${work:?}/$lib"
    mkdir -p "$work/$lib"
    case "$lib" in
    zlib)
        (cd "$work/zlib" && "${words[@]}" && make -j"$jobs" libz.a && make install)
        ;;
    libjpeg-turbo)
        # Its build has no switch for the programs (cjpeg, djpeg, jpegtran,
        # ...): only the library target is built and installed by hand.
        "${words[@]}"
        cmake --build "$work/$lib" -j "$jobs" --target jpeg-static
        mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
        local src=$deps/src/${srcname[$lib]}
        cp "$work/$lib/jconfig.h" "$src/jerror.h" "$src/jmorecfg.h" "$src/jpeglib.h" \
            "$prefix/include/"
        cp "$work/$lib/libjpeg.a" "$prefix/lib/"
        cp "$work/$lib/pkgscripts/libjpeg.pc" "$prefix/lib/pkgconfig/"
        ;;
    *)
        "${words[@]}"
        cmake --build "$work/$lib" -j "$jobs"
        cmake --install "$work/$lib"
        ;;
    esac
    # Neither manual pages nor libpng's libpng16-config script serve a cross
    # build: CMake and pkg-config find the libraries.
    rm -rf "$prefix/share" "$prefix/bin"
}

build() {
    triple=$1
    case "$triple" in
    x86_64-w64-mingw32 | i686-w64-mingw32) ;;
    *) usage ;;
    esac
    cc=$triple-gcc-posix
    command -v "$cc" > /dev/null || die "$cc not found (bash scripts/setup.sh installs it)"
    command -v nasm > /dev/null || die "nasm not found (bash scripts/setup.sh installs it)"
    compiler_version=$("$cc" -dumpfullversion)
    fetch
    prefix=$deps/$triple
    work=$deps/work/$triple
    mkdir -p "$prefix/.stamps"
    local lib want log status
    for lib in "${libs[@]}"; do
        want=$(stamp_text "$lib")
        if [ "$(cat "$prefix/.stamps/$lib" 2> /dev/null)" = "$want" ]; then
            continue
        fi
        rm -f "$prefix/.stamps/$lib"
        log=$work/$lib.log
        mkdir -p "$work"
        echo "deps: building $lib ${upstream[$lib]} for $triple (log: ${log#"$top"/})"
        # set -e holds inside the subshell only when it is not an if condition.
        set +e
        (
            set -e
            build_lib "$lib"
        ) > "$log" 2>&1
        status=$?
        set -e
        if [ "$status" -ne 0 ]; then
            tail -n 40 "$log" >&2
            die "building $lib for $triple failed; the whole log is $log"
        fi
        echo "$want" > "$prefix/.stamps/$lib"
    done
}

case "${1:-}" in
fetch)
    [ $# -eq 1 ] || usage
    fetch
    ;;
build)
    [ $# -eq 2 ] || usage
    build "$2"
    ;;
*) usage ;;
esac
