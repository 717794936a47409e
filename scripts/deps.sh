#!/usr/bin/env bash
# The image libraries: zlib, libpng, libjpeg-turbo, libtiff and libwebp, built as static
# libraries from Debian 12's own source packages, once per target, into the
# build tree. Every build links these: the native and sanitizer builds
# (target "native") as well as both Windows targets, so that the same source
# revision decodes every picture everywhere, whatever the machine has
# installed. Debian ships none of them for mingw-w64.
#
#   bash scripts/deps.sh fetch           # sources into build/deps/src/
#   bash scripts/deps.sh build TARGET    # native, x86_64-w64-mingw32 or i686-w64-mingw32
#
# The revisions are pinned in scripts/libraries.txt. fetch downloads the
# source packages with a private apt configuration under build/deps/apt/ (a
# deb-src list derived from the machine's own Debian 12 sources, in either
# the one-line or the deb822 form; the machine's apt setup is left alone) into
# build/deps/download/ and unpacks them, Debian's patches applied, into
# build/deps/src/ as zlib-1.2.13, libpng-1.6.39, libjpeg-turbo-2.1.5,
# libtiff-v4.5.0 and libwebp-1.2.4; the tests read pictures from there. A pinned revision the
# archive no longer serves is replaced by the newest revision of the same
# upstream version that can be downloaded, with a notice; the revisions used
# are listed in build/deps/revisions.txt. build fetches when needed and
# installs the static libraries, their headers and their pkg-config files into
# build/deps/TARGET/. A stamp per library and target records the source
# revision and the build flags: a second run does nothing, and a build that
# failed (no stamp) starts again from clean.
set -euo pipefail
exec < /dev/null

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps=$top/build/deps
jobs=2

libs=(zlib libpng libjpeg-turbo libtiff libwebp)
declare -A package=() pinned=() version=()
while read -r name source revision rest; do
    case "$name" in '' | '#'*) continue ;; esac
    [ -n "$revision" ] && [ -z "$rest" ] || {
        echo "deps: scripts/libraries.txt: bad line: $name $source $revision $rest" >&2
        exit 1
    }
    package[$name]=$source
    pinned[$name]=$revision
done < "$top/scripts/libraries.txt"
declare -A upstream=([zlib]=1.2.13 [libpng]=1.6.39 [libjpeg-turbo]=2.1.5 [libtiff]=4.5.0
    [libwebp]=1.2.4)
declare -A srcname=([zlib]=zlib-1.2.13 [libpng]=libpng-1.6.39 [libjpeg-turbo]=libjpeg-turbo-2.1.5
    [libtiff]=libtiff-v4.5.0 [libwebp]=libwebp-1.2.4)
# A library is rebuilt when one it links against changed: their stamps are
# part of its own.
declare -A needs=([zlib]="" [libpng]="zlib" [libjpeg-turbo]="" [libtiff]="zlib libjpeg-turbo"
    [libwebp]="")

die() {
    echo "deps: $*" >&2
    exit 1
}

usage() {
    echo "usage: bash scripts/deps.sh fetch | build native|x86_64-w64-mingw32|i686-w64-mingw32" >&2
    exit 2
}

# The upstream part of a Debian version: no epoch, revision or repack suffix.
upstream_of() {
    local v=${1#*:}
    v=${v%-*}
    echo "${v%.dfsg}"
}

for lib in "${libs[@]}"; do
    [ -n "${pinned[$lib]:-}" ] || die "scripts/libraries.txt names no revision for $lib"
    [ "$(upstream_of "${pinned[$lib]}")" = "${upstream[$lib]}" ] ||
        die "scripts/libraries.txt: $lib ${pinned[$lib]} is not upstream ${upstream[$lib]}" \
            "(this script unpacks and builds that one)"
    # The revision in use: the pinned one, or what fetch took in its place.
    version[$lib]=$(cat "$deps/src/.$lib.revision" 2> /dev/null || echo "${pinned[$lib]}")
    case "$(cat "$deps/src/.$lib.pin" 2> /dev/null)" in
    "${pinned[$lib]}") ;;
    *) version[$lib]=${pinned[$lib]} ;;
    esac
done

source_id() {
    echo "${package[$1]}=${version[$1]}"
}

# The original tarball of LIB (its compression differs between packages) and
# its Debian tarball, as downloaded; empty when not there. An upstream
# signature (.orig.tar.gz.asc) sits beside some tarballs.
orig_tarball() {
    local v=${version[$1]#*:}
    compgen -G "$deps/download/${package[$1]}_${v%-*}.orig.tar.*" | grep -v '\.asc$' |
        head -n 1 || true
}
debian_tarball() {
    local v=${version[$1]#*:} f
    f=$deps/download/${package[$1]}_$v.debian.tar.xz
    if [ -f "$f" ]; then echo "$f"; fi
}

# The machine's Debian 12 archives as deb-src lines, from the one-line
# sources.list form and the deb822 .sources form alike; other archives (a
# vendor's, a later Debian's) are left out.
debian_source_lines() {
    local files=() f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        if [ -f "$f" ]; then files+=("$f"); fi
    done
    if [ ${#files[@]} -gt 0 ]; then
        # deb [options] URI SUITE COMPONENT...
        awk '$1 == "deb" {
            opts = ""; i = 2
            if ($2 ~ /^\[/) {
                while (i <= NF) { opts = opts " " $i; if ($i ~ /\]$/) { i++; break } i++ }
            }
            line = "deb-src" opts
            for (; i <= NF; i++) line = line " " $i
            print line
        }' "${files[@]}"
    fi
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        # One stanza a paragraph; only one-line fields matter here.
        awk 'function flush() {
                if (types ~ /(^| )deb( |$)/ && enabled != "no")
                    for (u = 1; u <= nu; u++) for (s = 1; s <= ns; s++)
                        print "deb-src" (signed != "" ? " [signed-by=" signed "]" : "") " " uri[u] " " suite[s] " " comps
                types = ""; comps = ""; signed = ""; enabled = ""; nu = 0; ns = 0
            }
            /^[ \t]*$/ { flush(); next }
            /^[ \t]*#/ { next }
            /^[^ \t]/ {
                key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^ +/, "")
                if (key == "types") types = $0
                else if (key == "uris") nu = split($0, uri, " ")
                else if (key == "suites") ns = split($0, suite, " ")
                else if (key == "components") comps = $0
                else if (key == "signed-by" && $0 ~ /^\//) signed = $0
                else if (key == "enabled") enabled = tolower($0)
            }
            END { flush() }' "$f"
    done
}

# The private apt configuration's list: the Debian 12 lines of the machine,
# or Debian's own archive when it names none.
write_source_list() {
    local list=$1
    debian_source_lines | awk '{
        for (i = 2; i <= NF && $i ~ /^\[|\]$|=/; i++) ;
        if ($(i + 1) ~ /^(bookworm|oldstable)(-updates|-security)?$/) print
    }' | sort -u > "$list"
    if [ ! -s "$list" ]; then
        echo "deps: the machine's apt sources name no Debian 12 archive; using deb.debian.org" >&2
        printf '%s\n' "deb-src http://deb.debian.org/debian bookworm main" \
            "deb-src http://deb.debian.org/debian-security bookworm-security main" > "$list"
    fi
}

apt_options=()
apt_ready=0
prepare_apt() {
    [ "$apt_ready" = 1 ] && return 0
    local apt=$deps/apt
    mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache/archives/partial" "$deps/download"
    write_source_list "$apt/sources.list"
    apt_options=(-q -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts"
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o APT::Sandbox::User=root)
    echo "deps: reading the source lists ($apt/sources.list)"
    if ! apt-get "${apt_options[@]}" update > "$apt/update.log" 2>&1; then
        cat "$apt/update.log" >&2
        die "apt-get update with $apt/sources.list failed"
    fi
    apt_ready=1
}

# The revisions of LIB's source package in the archive with LIB's upstream
# version, newest first.
revisions_of() {
    local lib=$1
    apt-cache "${apt_options[@]}" showsrc "${package[$lib]}" 2> /dev/null |
        sed -n 's/^Version: //p' | sort -u | while read -r v; do
        if [ "$(upstream_of "$v")" = "${upstream[$lib]}" ]; then echo "$v"; fi
    done | sort -r -V
}

# download LIB: the .dsc, original tarball and Debian tarball of the pinned
# revision; when the archive does not serve it, of the newest revision of the
# same upstream version that it does serve. Sets version[LIB].
download() {
    local lib=$1 log=$deps/apt/source-$1.log candidates=() v
    prepare_apt
    mapfile -t candidates < <(revisions_of "$lib")
    for v in "${pinned[$lib]}" "${candidates[@]}"; do
        echo "deps: downloading ${package[$lib]}=$v"
        if (cd "$deps/download" && apt-get "${apt_options[@]}" source --download-only \
            "${package[$lib]}=$v") > "$log" 2>&1; then
            version[$lib]=$v
            if [ "$v" != "${pinned[$lib]}" ]; then
                echo "deps: NOTE: the archive does not serve ${package[$lib]} ${pinned[$lib]}" \
                    "(scripts/libraries.txt); using $v, the newest revision of upstream" \
                    "${upstream[$lib]} it does serve" >&2
            fi
            return 0
        fi
    done
    cat "$log" >&2
    die "no revision of ${package[$lib]} ${upstream[$lib]} could be downloaded" \
        "(pinned: ${pinned[$lib]}; in the archive: ${candidates[*]:-none})"
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
    local lib
    mkdir -p "$deps/src"
    for lib in "${libs[@]}"; do
        if [ "$(cat "$deps/src/.$lib.stamp" 2> /dev/null)" = "$(source_id "$lib")" ] &&
            [ -d "$deps/src/${srcname[$lib]}" ]; then
            continue
        fi
        if [ -z "$(orig_tarball "$lib")" ] || [ -z "$(debian_tarball "$lib")" ]; then
            download "$lib"
        fi
        echo "deps: unpacking $(source_id "$lib") into build/deps/src/${srcname[$lib]}"
        unpack "$lib"
        echo "${pinned[$lib]}" > "$deps/src/.$lib.pin"
        echo "${version[$lib]}" > "$deps/src/.$lib.revision"
    done
    local list=$deps/revisions.txt.new
    for lib in "${libs[@]}"; do
        if [ "${version[$lib]}" = "${pinned[$lib]}" ]; then
            echo "$lib ${package[$lib]} ${version[$lib]}"
        else
            echo "$lib ${package[$lib]} ${version[$lib]} (pinned ${pinned[$lib]}, not served)"
        fi
    done > "$list"
    mv "$list" "$deps/revisions.txt"
}

# The configure command of LIB for the current target, one word a line: what
# the stamp records and what build_lib runs.
configure_words() {
    local lib=$1 src=$deps/src/${srcname[$1]}
    case "$lib" in
    zlib)
        # Debian's repacked zlib has no win32/ makefiles; its configure script
        # knows mingw from CHOST. --static: libz.a only.
        if [ "$triple" = native ]; then
            # Position-independent: the native programs are PIE.
            printf '%s\n' env CC="$cc" CFLAGS="-O2 -fPIC" "$src/configure" --static \
                --prefix="$prefix"
        else
            printf '%s\n' env CHOST="$triple" CC="$cc" AR="$triple-ar" \
                RANLIB="$triple-ranlib" CFLAGS=-O2 "$src/configure" --static --prefix="$prefix"
        fi
        ;;
    *)
        printf '%s\n' cmake -S "$src" -B "$work/$lib" -G Ninja
        if [ "$triple" = native ]; then
            # The libraries built here come first, before the machine's own.
            printf '%s\n' -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$prefix" \
                -DCMAKE_POSITION_INDEPENDENT_CODE=ON
        else
            printf '%s\n' -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$triple.cmake" \
                -DZENDRA_DEPS_PREFIX="$prefix"
        fi
        printf '%s\n' -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
            -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
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
    libwebp)
        # The libraries only (libwebp, with the demuxer for animated files'
        # first frame): none of the tools, which would look for the image
        # libraries, GIF and OpenGL.
        printf '%s\n' -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
            -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
            -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_LIBWEBPMUX=OFF -DWEBP_BUILD_WEBPMUX=OFF \
            -DWEBP_BUILD_EXTRAS=OFF -DWEBP_BUILD_WEBP_JS=OFF
        ;;
    esac
}

# What a library's stamp holds: source, compiler, toolchain file, configure
# command and the stamps of the libraries it links against.
stamp_text() {
    local lib=$1 dep
    echo "source $(source_id "$lib")"
    echo "compiler $cc $compiler_version"
    if [ "$triple" != native ]; then
        echo "toolchain $(cksum < "$top/cmake/toolchain-$triple.cmake")"
    fi
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
    native) cc=gcc ;;
    x86_64-w64-mingw32 | i686-w64-mingw32) cc=$triple-gcc-posix ;;
    *) usage ;;
    esac
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
