#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree, checks it with
# lintian (any error or warning fails), unpacks it into a scratch root and
# runs the packaged vostrel on the shipped hourly sample.
#
# Usage: tests/package_test.sh BUILD_DIR
#
# Needs cpack, dpkg-deb, dpkg and lintian. The package is built into a
# temporary directory, so the build tree is left as it was.
set -u

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "$1" 2>/dev/null && pwd) || {
  echo "no build directory: $1" >&2
  exit 2
}
sample="$repo/examples/hourly.out"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Reports whether FILE's last line begins with the four zero date fields of a
# totals line followed by a tab, and ends in CR LF.
ends_with_totals_line() {
  local file=$1 last
  last=$(tail -n 1 -- "$file")
  [[ $last == $'0\t0\t0\t0\t'* ]] || return 1
  [ "$(tail -c 2 -- "$file" | od -An -tx1 | tr -d ' \n')" = 0d0a ]
}

run_test() {
  if [ ! -f "$build/CPackConfig.cmake" ]; then
    fail "$build has no CPackConfig.cmake; is cmake/packaging.cmake included?"
    return
  fi
  if [ ! -f "$sample" ]; then
    fail "missing sample results file examples/hourly.out"
    return
  fi

  # cpack reads CPackConfig.cmake from the current directory.
  if ! (cd "$build" && cpack -G DEB -B "$scratch/pkg") >"$scratch/cpack.log" 2>&1; then
    fail "cpack -G DEB failed:"
    cat "$scratch/cpack.log"
    return
  fi

  local debs=("$scratch"/pkg/*.deb)
  if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "expected one .deb, found: ${debs[*]##*/}"
    return
  fi
  local deb=${debs[0]}
  local name=${deb##*/}
  [[ $name =~ ^vostrel_[0-9.]+_[a-z0-9]+\.deb$ ]] ||
    fail "package file name $name is not vostrel_VERSION_ARCH.deb"

  # Debian policy as lintian checks it: a tag of E: or W: fails.
  if ! command -v lintian >/dev/null; then
    fail "lintian not found (apt-get install lintian)"
  elif ! lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1; then
    fail "lintian reports errors or warnings:"$'\n'"$(cat "$scratch/lintian.log")"
  fi

  local info
  info=$(dpkg-deb -I "$deb") || {
    fail "dpkg-deb -I cannot read $name"
    return
  }
  grep -q -x ' Package: vostrel' <<<"$info" ||
    fail "dpkg-deb -I shows no 'Package: vostrel':"$'\n'"$info"
  grep -q '^ Depends:.*libc6' <<<"$info" ||
    fail "package does not depend on libc6:"$'\n'"$info"

  local root="$scratch/root"
  if ! dpkg -x "$deb" "$root"; then
    fail "dpkg -x cannot unpack $name"
    return
  fi
  local bin="$root/usr/bin/vostrel"
  [ -x "$bin" ] || fail "usr/bin/vostrel missing or not executable"
  local file
  for file in usr/share/man/man1/vostrel.1.gz usr/share/doc/vostrel/copyright \
              usr/share/doc/vostrel/changelog.gz; do
    [ -f "$root/$file" ] || fail "$file missing"
  done
  [ -x "$bin" ] || return

  local work="$scratch/work"
  mkdir "$work"
  cp -- "$sample" "$work/hourly.out"
  local status=0
  (cd "$work" && "$bin" hourly.out) >"$scratch/console" 2>&1 || status=$?
  [ "$status" -eq 0 ] || fail "vostrel hourly.out exited with status $status"
  # The console writes each line end as CR LF; the last line is "ready..".
  [ "$(tail -n 1 "$scratch/console")" = $'ready..\r' ] ||
    fail "console does not end with the line ready..:"$'\n'"$(tail -n 5 "$scratch/console")"

  local out
  for out in hourly.tut hourly.mut; do
    if [ ! -f "$work/$out" ]; then
      fail "$out was not written"
    elif ! ends_with_totals_line "$work/$out"; then
      fail "$out does not end with a CR LF totals line:"$'\n'"$(tail -n 2 "$work/$out" | od -c | tail -n 5)"
    fi
  done
}

run_test
if [ "$failures" -eq 0 ]; then
  echo "1 passed, 0 failed"
  exit 0
fi
echo "0 passed, 1 failed"
exit 1
