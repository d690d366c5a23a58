#!/bin/sh
# Installs from Debian's packages what building and testing fb2pack needs,
# skipping what is already there.
#   tools/deps.sh           everything: native build, Windows cross builds, Wine
#   tools/deps.sh --native  only what the Linux build and its tests need
#   tools/deps.sh --bench   the Linux build and what the benchmark runs
set -eu

native="cmake make g++ valgrind clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev python3 binutils util-linux"
windows="man-db g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 wine32:i386"

bench="hyperfine gnuplot-nox time"

case "${1:-}" in
  --native) want="$native" ;;
  --bench) want="$native $bench" ;;
  *) want="$native $windows" ;;
esac

missing=""
for p in $want; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

run=""
[ "$(id -u)" -eq 0 ] || run="sudo"
echo "installing:$missing" >&2
case "$missing" in
  *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || $run dpkg --add-architecture i386 ;;
esac
$run apt-get update -q
$run env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
