#!/usr/bin/env bash
# scripts/install_packages.sh against stand-in package tools: an update that
# keeps failing on one index, 32-bit Wine or lintian that cannot be resolved, a required
# package that cannot be resolved, an update that succeeds on its second try.
# The stand-ins record every install; nothing real is installed.
set -uo pipefail
script=$ZEDUZ_SOURCE_DIR/scripts/install_packages.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"

# apt-get: `update` fails while $work/update-failures counts down; `install`
# refuses any package named in $FAKE_UNRESOLVABLE, else records the packages.
cat >"$work/bin/apt-get" <<'STAND_IN'
#!/usr/bin/env bash
work=$FAKE_WORK
if [ "$1" = update ] || [ "$2" = update ]; then
  echo update >>"$work/calls"
  left=$(cat "$work/update-failures" 2>/dev/null || echo 0)
  if [ "$left" -gt 0 ]; then
    echo $((left - 1)) >"$work/update-failures"
    echo "E: Failed to fetch binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    exit 100
  fi
  exit 0
fi
packages=()
for arg in "$@"; do
  case "$arg" in -*|install) ;; *) packages+=("$arg") ;; esac
done
for package in "${packages[@]}"; do
  if [[ " $FAKE_UNRESOLVABLE " == *" $package "* ]]; then
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100
  fi
done
printf '%s\n' "${packages[@]}" >>"$work/installed"
STAND_IN
cat >"$work/bin/dpkg-query" <<'STAND_IN'
#!/usr/bin/env bash
package=${!#}
grep -qxF "$package" "$FAKE_WORK/installed" 2>/dev/null || exit 1
echo "install ok installed"
STAND_IN
cat >"$work/bin/dpkg" <<'STAND_IN'
#!/usr/bin/env bash
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
STAND_IN
chmod +x "$work/bin/"*

failures=0
fail() { echo "FAIL $case_name: $*"; failures=$((failures + 1)); }

# run_case <name> <update failures> <unresolvable packages> <what>
run_case() {
  case_name=$1
  rm -f "$work/installed" "$work/calls"
  echo "$2" >"$work/update-failures"
  out=$(PATH="$work/bin:$PATH" FAKE_WORK="$work" FAKE_UNRESOLVABLE="$3" \
    ZEDUZ_APT_UPDATE_PAUSE=0 bash "$script" "$4" 2>&1)
  status=$?
}
installed() { grep -qxF "$1" "$work/installed" 2>/dev/null; }

run_case "mirror mid-sync, 32-bit Wine unresolvable" 99 "wine32:i386" test
[ "$status" -eq 0 ] || fail "exit status $status: $out"
[ "$(grep -c 'apt-get update failed' <<<"$out")" -eq 1 ] || fail "no one-line update warning: $out"
[ "$(grep -c '^32-bit Wine could not be installed' <<<"$out")" -eq 1 ] || fail "no one-line wine32 reason: $out"
[ "$(grep -c update "$work/calls")" -eq 3 ] || fail "update not tried three times"
for package in build-essential libtiff-tools g++-mingw-w64-i686 wine64 sane-utils clang; do
  installed "$package" || fail "$package not installed"
done
installed wine32:i386 && fail "wine32:i386 recorded as installed"

run_case "lintian unresolvable: the package is not checked with it" 0 "lintian" test
[ "$status" -eq 0 ] || fail "exit status $status: $out"
[ "$(grep -c "^lintian could not be installed (lintian: Unable to correct problems" <<<"$out")" -eq 1 ] ||
  fail "no one-line lintian reason: $out"
for package in file dpkg-dev wine32:i386; do
  installed "$package" || fail "$package not installed"
done

run_case "a required package unresolvable" 0 "libtiff-tools" test
[ "$status" -ne 0 ] || fail "exit status 0: $out"
grep -q 'Could not install libtiff-tools: Unable to correct problems' <<<"$out" || fail "libtiff-tools not named: $out"
installed netpbm || fail "the rest of its group not installed"
installed wine32:i386 || fail "a later group blocked"

run_case "everything installs; update on its second try" 1 "" test
[ "$status" -eq 0 ] || fail "exit status $status: $out"
grep -q 'could not\|failed' <<<"$out" && fail "a failure reported: $out"
[ "$(grep -c update "$work/calls")" -eq 2 ] || fail "update tried $(grep -c update "$work/calls") times, not 2"
installed wine32:i386 || fail "wine32:i386 not installed"

# A second run over what the first installed neither updates nor prints.
case_name="nothing left to install"
rm -f "$work/calls"
out=$(PATH="$work/bin:$PATH" FAKE_WORK="$work" FAKE_UNRESOLVABLE="" bash "$script" test 2>&1)
[ -z "$out" ] && [ ! -f "$work/calls" ] || fail "it updated or printed: $out"

echo "$failures failed"
[ "$failures" -eq 0 ]
