#!/usr/bin/env bash
# The help, the version and a usage error are answered with no display at all (no X, no
# Wayland, no platform chosen), quickly and with the documented exit status.
#   no_display_test.sh VESKA
set -uo pipefail
veska=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { # STATUS ARGS...: runs veska without a display and checks its exit status
    local want=$1
    shift
    timeout 2 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM VESKA_DATA_DIR="$tmp" \
        "$veska" "$@" >"$tmp/out" 2>"$tmp/err"
    local got=$?
    [[ $got == "$want" ]] || fail "veska $* exited $got, not $want: $(cat "$tmp/err")"
}
run 2 --bogus
grep -q '^veska: unknown option "--bogus"' "$tmp/err" && grep -q '^usage: veska' "$tmp/err" ||
    fail "no usage text for --bogus"
run 2 -platform offscreen a.txt b.txt
grep -q 'only one BOOK' "$tmp/err" || fail "Qt's own options counted as books"
run 2 --add
grep -q -- '--add needs a PATH' "$tmp/err" || fail "--add without a PATH"
run 2 --shelf book.txt
grep -q -- '--shelf takes no PATH' "$tmp/err" || fail "--shelf with a PATH"
run 0 --help
grep -q '^usage: veska' "$tmp/out" || fail "no help on standard output"
run 0 --version
grep -q '^veska [0-9]' "$tmp/out" || fail "no version on standard output"
echo "ok"
