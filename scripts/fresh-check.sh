#!/usr/bin/env bash
# The README's two commands on a pristine Debian 12 machine: a minimal
# debootstrap root (variant minbase, classic one-line apt sources), into which
# the current commit is cloned; there `bash scripts/run.sh` runs without a
# display, then `bash scripts/test.sh`. Prints both exit statuses and the last
# line of each; exits 0 only when both succeeded.
#
#   bash scripts/fresh-check.sh [COMMIT]      # default: HEAD
#
# Needs root (debootstrap, chroot, mounts) and Debian's archive. Not part of
# the test command, which it runs. The root's packages are cached as a
# tarball in build/fresh/ and the downloaded .deb files in
# build/fresh/archives/, so a second run downloads little; the root itself is
# made anew every run. Logs: build/fresh/run.log and build/fresh/test.log.
set -euo pipefail
exec < /dev/null

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fresh=$top/build/fresh
root=$fresh/root
tarball=$fresh/bookworm-minbase.tar
commit=$(git -C "$top" rev-parse --verify "${1:-HEAD}^{commit}")

die() {
    echo "fresh-check: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || die "needs root (debootstrap, chroot and mounts)"
# The mounts live in a mount namespace of their own: they never show on the
# machine and go with the last process.
if [ -z "${ZENDRA_FRESH_NAMESPACE:-}" ]; then
    ZENDRA_FRESH_NAMESPACE=1 exec unshare --mount --propagation private \
        bash "${BASH_SOURCE[0]}" "$commit"
fi
if ! command -v debootstrap > /dev/null; then
    echo "fresh-check: installing debootstrap" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap > /dev/null ||
        die "apt-get install debootstrap failed"
fi

# The Debian mirror the machine uses, or Debian's own.
mirror=$(
    {
        cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2> /dev/null |
            awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) {
                if ($(i + 1) == "bookworm") print $i; break } }'
        cat /etc/apt/sources.list.d/*.sources 2> /dev/null | awk '
            tolower($1) == "uris:" { uri = $2 }
            tolower($1) == "suites:" { for (i = 2; i <= NF; i++) if ($i == "bookworm") print uri }'
    } | head -n 1
)
mirror=${mirror:-http://deb.debian.org/debian}

release_mounts() {
    local m
    # Deepest first.
    for m in $(awk -v r="$root" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/mounts |
        sort -r); do
        umount -l "$m" 2> /dev/null || true
    done
}
trap release_mounts EXIT

mkdir -p "$fresh/archives"
release_mounts
if [ ! -f "$tarball" ]; then
    echo "fresh-check: downloading a minimal Debian 12 root from $mirror (once)"
    rm -rf "$fresh/tarball-work"
    debootstrap --variant=minbase --make-tarball="$tarball.part" bookworm \
        "$fresh/tarball-work" "$mirror" > "$fresh/debootstrap.log" 2>&1 ||
        {
            tail -n 20 "$fresh/debootstrap.log" >&2
            die "debootstrap --make-tarball failed (log: $fresh/debootstrap.log)"
        }
    mv "$tarball.part" "$tarball"
    rm -rf "$fresh/tarball-work"
fi

echo "fresh-check: making a pristine root in $root"
rm -rf "$root"
debootstrap --variant=minbase --unpack-tarball="$tarball" bookworm "$root" "$mirror" \
    > "$fresh/debootstrap.log" 2>&1 ||
    {
        tail -n 20 "$fresh/debootstrap.log" >&2
        die "debootstrap failed (log: $fresh/debootstrap.log)"
    }
cp /etc/resolv.conf "$root/etc/resolv.conf" 2> /dev/null || true
echo "fresh-check: apt sources of the root:"
sed 's/^/  /' "$root/etc/apt/sources.list"

# The commit, cloned as a user would; shared/ beside it as on every machine.
git clone -q --no-checkout "$top" "$root/root/zendra"
git -C "$root/root/zendra" checkout -q "$commit"
if [ -d "$top/../shared" ]; then cp -R "$top/../shared" "$root/root/shared"; fi

mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts" 2> /dev/null ||
    mount --bind /dev/pts "$root/dev/pts"
mount -t tmpfs tmpfs "$root/dev/shm"
mount --bind "$fresh/archives" "$root/var/cache/apt/archives"

# in_root COMMAND LOG: runs COMMAND in the root's checkout with a clean
# environment (no display, no terminal), output into LOG; prints its status.
in_root() {
    local status=0
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI=true \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c "cd /root/zendra && $1" > "$2" 2>&1 || status=$?
    echo "$status"
}

short=$(git -C "$top" rev-parse --short "$commit")
echo "fresh-check: commit $short: bash scripts/run.sh (log: $fresh/run.log)"
run_status=$(in_root "bash scripts/run.sh" "$fresh/run.log")
echo "fresh-check: commit $short: bash scripts/test.sh (log: $fresh/test.log)"
test_status=$(in_root "bash scripts/test.sh" "$fresh/test.log")

echo
echo "run.sh:  status $run_status; last line: $(tail -n 1 "$fresh/run.log")"
echo "test.sh: status $test_status; last line: $(tail -n 1 "$fresh/test.log")"
[ "$run_status" -eq 0 ] && [ "$test_status" -eq 0 ]
