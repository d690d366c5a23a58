#!/bin/sh
# Installs from Debian's packages what building and testing fb2pack needs,
# skipping what is already there.
#   tools/deps.sh            everything: native and 32-bit Linux builds,
#                            Windows cross builds, Wine
#   tools/deps.sh --native   only what the Linux build and its tests need
#   tools/deps.sh --bench    the Linux build and what the benchmark runs
#   tools/deps.sh --package  what making the release packages needs
#
# 32-bit Wine (and with it the i386 architecture) is asked for only where
# this machine executes 32-bit code (tools/can-run-32bit; FB2PACK_RUN_32BIT
# forces the answer); elsewhere, when asked, the full-system emulator that runs it. A
# package index that fails to download is retried and then let be: only a
# failed install is fatal. When 32-bit Wine or the emulator alone cannot be
# installed, the rest is, and tools/test-all runs the 32-bit Windows tests with
# Wine from an i386 userland instead (tools/wine32-userland), or skips them.
set -eu
tools=$(cd "$(dirname "$0")" && pwd)

# unzip, 7-Zip and calibre judge the archives and books the tests write.
native="cmake make g++ valgrind clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev libcli11-dev zlib1g-dev libxml2-utils python3 binutils util-linux unzip p7zip-full calibre"
# 32-bit Linux builds (run natively, or under qemu-i386 where the kernel
# cannot): amd64 packages only. qemu-user without its binfmt handlers, which
# would make every i386 program look native.
linux32="g++-multilib lib32z1-dev qemu-user"
cross="g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 libz-mingw-w64-dev"
windows="man-db $cross wine wine64"
bench="hyperfine gnuplot-nox time"

case "${1:-}" in
  --native) want="$native" ;;
  --bench) want="$native $bench" ;;
  --package) want="cmake make g++ googletest libcli11-dev zlib1g-dev python3 $cross" ;;
  "") want="$native $linux32 $windows" ;;
  *) echo "usage: $0 [--native|--bench|--package]" >&2; exit 2 ;;
esac
wine32=""
if [ -z "${1:-}" ]; then
  if "$tools/can-run-32bit" >/dev/null; then
    # debootstrap makes an i386 userland with Wine where wine32:i386 cannot
    # be installed (tools/wine32-userland).
    wine32="wine32:i386"
    want="$want debootstrap"
  elif [ "${FB2PACK_WIN32_EMULATOR:-}" = yes ]; then
    # Where the kernel refuses 32-bit code, 32-bit Wine runs in a full-system
    # emulator when asked (tools/wine32-vm, tools/test-all).
    want="$want qemu-system-x86"
  fi
fi

missing=""
for p in $want $wine32; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -z "$missing" ]; then
  echo "deps: everything needed is installed" >&2
  exit 0
fi

run=""
[ "$(id -u)" -eq 0 ] || run="sudo"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
case "$missing" in
  *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || $run dpkg --add-architecture i386 ;;
esac

# A mirror in the middle of a sync fails some index for a while; what the
# other indexes hold is usually enough for what we install.
echo "deps: updating the package index" >&2
tries=1
until $run apt-get update -q >"$log" 2>&1; do
  if [ $tries -ge 3 ]; then
    echo "deps: the package index is incomplete; going on with what it holds:" >&2
    grep -E '^(E|W|Err):' "$log" | sed 's/^/  /' >&2 || true
    break
  fi
  tries=$((tries + 1))
  echo "deps: updating the package index failed; trying again in 10 s" >&2
  sleep 10
done

avoid=""
case "$missing" in *qemu-user*) avoid="qemu-user-binfmt-" ;; esac
install() {
  echo "deps: installing $*" >&2
  $run env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" $avoid >"$log" 2>&1
}
fail() {
  echo "deps: could not install:$1; the package registry said:" >&2
  grep -E '^(E|W|Err):|Depends:|Breaks:|broken' "$log" | sed 's/^/  /' >&2 || tail -n 20 "$log" >&2
  exit 1
}

# calibre without what it recommends (fonts, dictionaries, a viewer's
# helpers): its command-line tools need none of it.
case " $missing " in
  *" calibre "*)
    install --no-install-recommends calibre || fail " calibre"
    missing=$(echo " $missing " | sed 's/ calibre / /; s/^ *//; s/ *$//')
    if [ -z "$missing" ]; then
      echo "deps: done" >&2
      exit 0
    fi
    ;;
esac
if install $missing; then
  echo "deps: done" >&2
  exit 0
fi
# What runs the 32-bit Windows tests (32-bit Wine, or the emulator that runs
# it) is not needed for anything else: when it cannot be installed (the
# registry's i386 side lags behind its amd64 side, or is out of reach), the
# rest is, and those tests use an i386 userland's Wine or are skipped and named.
rest=$(echo " $missing " | sed 's/ wine32:i386 / /; s/ qemu-system-x86 / /; s/^ *//; s/ *$//')
[ "$rest" != "$(echo "$missing" | sed 's/^ *//; s/ *$//')" ] || fail "$missing"
echo "deps: what runs the 32-bit Windows tests cannot be installed now; they will use an i386 userland's Wine, or be skipped:" >&2
grep -E '^E:' "$log" | sed 's/^/  /' >&2 || true
[ -z "$rest" ] && exit 0
install $rest || fail " $rest"
echo "deps: done, without what runs the 32-bit Windows tests" >&2
