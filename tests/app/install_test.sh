#!/usr/bin/env bash
# Installs the build into a temporary prefix (with a space in it, as home folders may have) and
# checks the layout, the menu entry, that the installed program starts and keeps its files in the
# XDG directory, and that uninstalling removes what was installed.
#   install_test.sh BUILD_DIR SOURCE_DIR APP_ID
set -euo pipefail
build=$1 source=$2 app_id=$3
tmp=$(mktemp -d) manifest="$build/install_manifest.txt" pid=
# A real install's manifest (needed to uninstall it) must survive this test's install.
[[ -f "$manifest" ]] && cp "$manifest" "$tmp/saved_manifest.txt"
cleanup() {
    [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
    if [[ -f "$tmp/saved_manifest.txt" ]]; then cp "$tmp/saved_manifest.txt" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$tmp/my prefix"
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; fail "cmake --install"; }
cp "$manifest" "$tmp/manifest.txt"
[[ -x "$prefix/bin/veska" && -x "$prefix/bin/veska-pages" ]] || fail "programs missing or not executable"
for size in 16 22 24 32 48 64 128 256; do
    icon=icons/hicolor/${size}x${size}/apps/veska.png
    cmp -s "$prefix/share/$icon" "$source/res/$icon" || fail "$icon missing or different"
done
[[ -f "$prefix/share/icons/hicolor/scalable/apps/veska.svg" ]] || fail "scalable icon missing"

# The menu entry validates and holds both names, the category, the type, the icon and Exec naming
# the installed binary (quoted, because of the space).
desktop="$prefix/share/applications/$app_id.desktop"
report=$(desktop-file-validate "$desktop" 2>&1) && [[ -z "$report" ]] || fail "desktop-file-validate: $report"
for line in 'Name=Veska Novel Reader' 'Name[zh_CN]=Veska 小说阅读器' 'Categories=Office;Viewer;' \
    'MimeType=text/plain;' 'Icon=veska' "Exec=\"$prefix/bin/veska\" %f"; do
    grep -qxF "$line" "$desktop" || fail "no '$line' in the menu entry"
done

# The installed program starts and keeps its files in $XDG_CONFIG_HOME/veska, not beside itself,
# although its directory is writable.
mkdir -p "$tmp/home" "$tmp/xdg"
env -u VESKA_DATA_DIR HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/xdg" QT_QPA_PLATFORM=offscreen \
    VESKA_STATS_URL= "$prefix/bin/veska" >"$tmp/run.log" 2>&1 &
pid=$!
for _ in $(seq 1 100); do
    [[ -d "$tmp/xdg/veska" ]] && break
    sleep 0.1
done
sleep 1
kill -0 "$pid" 2>/dev/null || { cat "$tmp/run.log"; fail "the installed program ended at start-up"; }
[[ -d "$tmp/xdg/veska" ]] || fail "no $tmp/xdg/veska after 10 s"
kill "$pid" && wait "$pid" 2>/dev/null || true
pid=
[[ "$(ls -A "$prefix/bin" | tr '\n' ' ')" == "veska veska-pages " ]] || fail "files beside the installed binary: $(ls -A "$prefix/bin")"
[[ ! -e "$tmp/home/.config/veska" ]] || fail "used ~/.config although XDG_CONFIG_HOME was set"

cmake -DMANIFEST="$tmp/manifest.txt" -P "$source/res/uninstall.cmake" >/dev/null
left=$(find "$prefix" -type f)
[[ -z "$left" ]] || fail "left after uninstall: $left"
echo "install layout, menu entry, XDG data directory and uninstall: ok"
