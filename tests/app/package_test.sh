#!/usr/bin/env bash
# Builds the Debian package into a temporary folder and checks it: the file set, the control
# fields, the menu entry and software-centre metadata (validated), the manual pages (rendered
# without warnings) and that the programs' --help and their manual pages name the same options.
#   package_test.sh BUILD_DIR VERSION APP_ID
set -euo pipefail
build=$1 version=$2 app_id=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# gzip: the quickest compression; the package's contents are what is checked.
(cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" \
    -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log"; fail "cpack -G DEB"; }
deb="$tmp/out/veska_${version}_$(dpkg --print-architecture).deb"
[[ -f "$deb" && $(ls "$tmp/out"/*.deb | wc -l) == 1 ]] || fail "expected only $(basename "$deb"), got: $(ls "$tmp/out")"

# Exactly the programs, the menu entry, the icons, the metadata and the manual pages.
expected=$({
    printf '%s\n' /usr/bin/veska{,-pages} /usr/share/man/man1/veska{,-pages}.1.gz \
        "/usr/share/applications/$app_id.desktop" "/usr/share/metainfo/$app_id.metainfo.xml" \
        /usr/share/icons/hicolor/scalable/apps/veska.svg /usr/share/doc/veska/{copyright,changelog.gz}
    printf '/usr/share/icons/hicolor/%sx%s/apps/veska.png\n' 16 16 22 22 24 24 32 32 48 48 64 64 \
        128 128 256 256
} | LC_ALL=C sort)
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|' | LC_ALL=C sort)
[[ "$actual" == "$expected" ]] || fail "package contents differ: $(diff <(echo "$expected") <(echo "$actual"))"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == veska && $(field Version) == "$version" && $(field Section) == text &&
    -n $(field Maintainer) && $(field Recommends) == *fonts-noto-cjk* ]] ||
    fail "control fields: $(dpkg-deb -f "$deb" Package Version Section Maintainer Recommends)"
for library in libqt6widgets6 libqt6network6 libqt6sql6-sqlite libcurl4 libopencc1.1 libc6 libstdc++6; do
    [[ $(field Depends) == *"$library"* ]] || fail "Depends lacks $library: $(field Depends)"
done
[[ $(field Description) == *纯文本小说阅读器* && $(field Description) == *plain-text* ]] ||
    fail "Description: $(field Description)"

root="$tmp/root"
dpkg-deb -x "$deb" "$root"
desktop="$root/usr/share/applications/$app_id.desktop"
report=$(desktop-file-validate "$desktop" 2>&1) && [[ -z "$report" ]] || fail "desktop-file-validate: $report"
grep -qx 'Exec=/usr/bin/veska %f' "$desktop" && grep -qx 'MimeType=text/plain;' "$desktop" ||
    fail "menu entry: $(grep -E '^(Exec|MimeType)' "$desktop")"
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
report=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1) || fail "appstreamcli validate: $report"
! grep -E '^(E|W):' <<<"$report" || fail "appstreamcli validate warns: $report"
grep -q "<id>$app_id</id>" "$metainfo" &&
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" || fail "metadata id"

# Each page renders without a warning, has its sections, and lists in its OPTIONS section (the
# tag lines hold only options) what the program's --help lists.
options() { grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u; }
for program in veska veska-pages; do
    page="$root/usr/share/man/man1/$program.1.gz"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z "$warnings" ]] || fail "man -l $program.1 warns: $warnings"
    rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null)
    help_options=$("$root/usr/bin/$program" --help | options) || fail "$program --help failed"
    page_options=$(sed -n '/^OPTIONS/,/^[A-Z]/p' <<<"$rendered" |
        grep -E '^ +--?[a-z][a-z-]*(, --?[a-z][a-z-]*)* *$' | options)
    [[ "$help_options" == "$page_options" ]] ||
        fail "$program: --help names $(echo $help_options), its page $(echo $page_options)"
    for section in SYNOPSIS 'EXIT STATUS' ENVIRONMENT; do
        grep -q "^$section" <<<"$rendered" || fail "$program.1 lacks $section"
    done
    [[ $("$root/usr/bin/$program" --version) == "$program $version" ]] || fail "$program --version"
done
# What Debian's own checker finds wrong with the package (no copyright file, no changelog...).
command -v lintian >/dev/null || fail "lintian is missing (scripts/install-deps --test installs it)"
report=$(lintian --no-tag-display-limit "$deb" 2>&1 | grep -v 'running with root privileges') || true
! grep -E '^E:' <<<"$report" || fail "lintian: $report"
# No request to a placeholder address: the package calls no statistics server unless built to.
! grep -qa 'veska\.example/Veska\.php' "$root/usr/bin/veska" || fail "the reader requests a placeholder address"
echo "package $(basename "$deb"): contents, control fields, metadata and manual pages ok"
