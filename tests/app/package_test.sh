#!/usr/bin/env bash
# Builds the Debian package into a temporary folder and checks it: the file set, the control
# fields, the menu entry and software-centre metadata (validated), the manual pages (rendered
# without warnings) and that the programs' --help and their manual pages name the same options.
#   package_test.sh BUILD_DIR VERSION APP_ID
set -euo pipefail
build=$1
version=$2
app_id=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# gzip: the quickest compression; the package's contents are what is checked.
(cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" \
    -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$tmp/cpack.log" 2>&1) ||
    { cat "$tmp/cpack.log"; fail "cpack -G DEB"; }
deb=$(find "$tmp/out" -maxdepth 1 -name 'veska_*.deb')
[[ $(echo "$deb" | wc -l) == 1 && -f "$deb" ]] || fail "expected one veska_*.deb, got: $deb"
[[ $(basename "$deb") == veska_${version}_$(dpkg --print-architecture).deb ]] ||
    fail "file name $(basename "$deb")"

# Exactly the programs, the menu entry, the icons, the metadata and the manual pages.
expected="/usr/bin/veska
/usr/bin/veska-pages
/usr/share/applications/$app_id.desktop
/usr/share/man/man1/veska-pages.1.gz
/usr/share/man/man1/veska.1.gz
/usr/share/metainfo/$app_id.metainfo.xml"
for size in 16 22 24 32 48 64 128 256; do
    expected+=$'\n'"/usr/share/icons/hicolor/${size}x${size}/apps/veska.png"
done
expected+=$'\n'"/usr/share/icons/hicolor/scalable/apps/veska.svg"
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|' | LC_ALL=C sort)
expected=$(echo "$expected" | LC_ALL=C sort)
[[ "$actual" == "$expected" ]] || fail "package contents differ:
$(diff <(echo "$expected") <(echo "$actual") || true)"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == veska ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version)"
[[ $(field Section) == text ]] || fail "Section: $(field Section)"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ $(field Recommends) == *fonts-noto-cjk* ]] || fail "Recommends: $(field Recommends)"
depends=$(field Depends)
for library in libqt6widgets6 libqt6network6 libcurl4 libc6 libstdc++6; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
description=$(field Description)
[[ $description == *纯文本小说阅读器* && $description == *plain-text* ]] ||
    fail "Description: $description"

root="$tmp/root"
dpkg-deb -x "$deb" "$root"
desktop="$root/usr/share/applications/$app_id.desktop"
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
[[ -z "$report" ]] || fail "desktop-file-validate complains: $report"
grep -qx 'Exec=/usr/bin/veska %f' "$desktop" || fail "Exec line: $(grep ^Exec "$desktop")"
grep -qx 'MimeType=text/plain;' "$desktop" || fail "no text/plain MIME type"
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
report=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1) ||
    fail "appstreamcli validate: $report"
! grep -E '^(E|W):' <<<"$report" || fail "appstreamcli validate warns: $report"
grep -q "<id>$app_id</id>" "$metainfo" || fail "metadata id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "metadata launchable"

# Each page renders without a warning, and the page and the program's --help list the same
# options.
for program in veska veska-pages; do
    page="$root/usr/share/man/man1/$program.1.gz"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z "$warnings" ]] || fail "man -l $program.1 warns: $warnings"
    rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null)
    help=$("$root/usr/bin/$program" --help) || fail "$program --help failed"
    options() { grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u; }
    help_options=$(options <<<"$help")
    # The tag lines of the OPTIONS section hold only options.
    page_options=$(sed -n '/^OPTIONS/,/^[A-Z]/p' <<<"$rendered" |
        grep -E '^ +--?[a-z][a-z-]*(, --?[a-z][a-z-]*)* *$' | options)
    [[ "$help_options" == "$page_options" ]] ||
        fail "$program: --help names $(echo $help_options), its page $(echo $page_options)"
    grep -q '^SYNOPSIS' <<<"$rendered" && grep -q '^EXIT STATUS' <<<"$rendered" &&
        grep -q '^ENVIRONMENT' <<<"$rendered" || fail "$program.1 lacks a section"
    [[ $("$root/usr/bin/$program" --version) == "$program $version" ]] ||
        fail "$program --version: $("$root/usr/bin/$program" --version)"
done
echo "package $(basename "$deb"): contents, control fields, metadata and manual pages ok"
