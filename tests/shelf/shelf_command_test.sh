#!/usr/bin/env bash
# `veska --add` and `veska --shelf` with no display, on a library of real books: nested folders of
# GB18030, UTF-8 and Big5 novels with non-books and a link loop beside them; adding it again adds
# nothing; an add killed mid-run has every book it reported; a reader killed after opening a book
# leaves it on the shelf, read today.
#   shelf_command_test.sh VESKA [BOOKS]
set -uo pipefail
veska=$1 books=${2:-1500}
tmp=$(mktemp -d) reader=
trap '[[ -n "$reader" ]] && kill -9 "$reader" 2>/dev/null; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
lib="$tmp/书库"
headless() { # DATA ARGS...: veska without a display
    local data=$1
    shift
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM VESKA_DATA_DIR="$data" VESKA_LOG= \
        "$veska" "$@"
}
enc() { printf '%s' "$1" | iconv -f UTF-8 -t "$2"; }

# Book i: "《书i》" and "作者：笔名i" in GB18030 (i % 3 == 0), the labels 书名： and 作者： in UTF-8
# (1), "《書i》" and "作者：筆名i" in Big5 (2); each folder also holds a picture and a note.
mkdir -p "$lib"/卷{0..6}/部{0..12} || fail "mkdir"
prose='清晨的小城还没有完全醒来，街角的早点铺已经冒出了白色的热气。老陈把蒸笼一层层摞好。'
trad='那年夏天，鎮上修了一條新路，從河邊一直通到火車站。路修好以後，來往的人多了起來。'
G1=$(enc '《书' GB18030) G2=$(enc '》' GB18030) GA=$(enc '作者：笔名' GB18030) GP=$(enc "$prose" GB18030) \
B1=$(enc '《書' BIG5) B2=$(enc '》' BIG5) BA=$(enc '作者：筆名' BIG5) BP=$(enc "$trad" BIG5) \
UP=$prose LIB=$lib N=$books LC_ALL=C awk 'BEGIN {
    e = ENVIRON["N"]
    for (i = 0; i < e; i++) {
        d = ENVIRON["LIB"] "/卷" (i % 7) "/部" (i % 13)
        f = d "/第" i "本.txt"
        if (i % 3 == 0) {
            printf "%s%d%s\n%s%d\n\n", ENVIRON["G1"], i, ENVIRON["G2"], ENVIRON["GA"], i > f
            for (k = 0; k < 20; k++) print ENVIRON["GP"] > f
        } else if (i % 3 == 1) {
            printf "书名：书%d\n作者：笔名%d\n\n", i, i > f
            for (k = 0; k < 20; k++) print ENVIRON["UP"] > f
        } else {
            printf "%s%d%s\n%s%d\n\n", ENVIRON["B1"], i, ENVIRON["B2"], ENVIRON["BA"], i > f
            for (k = 0; k < 20; k++) print ENVIRON["BP"] > f
        }
        close(f)
        if (i < 91) {
            print "JFIF" > (d "/cover.jpg"); close(d "/cover.jpg")
            print "notes" > (d "/notes.nfo"); close(d "/notes.nfo")
        }
    }
}' || fail "making the library"
ln -s "$lib" "$lib/卷0/部0/回到书库"
nonbooks=$((2 * (books < 91 ? books : 91)))

# The whole library, timed.
start=$EPOCHREALTIME
headless "$tmp/data" --add "$lib" >"$tmp/add.out" 2>"$tmp/add.err" || fail "--add exited $?: $(cat "$tmp/add.err")"
seconds=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')
[[ $(grep -c '^added	' "$tmp/add.out") == "$books" ]] || fail "added lines: $(grep -c '^added	' "$tmp/add.out")"
summary="$books added, 0 already on the shelf, $((nonbooks + 1)) skipped ($nonbooks not books, 0 unreadable, 1 link loops)"
[[ $(tail -n 1 "$tmp/add.out") == "$summary" ]] || fail "summary: $(tail -n 1 "$tmp/add.out"), not: $summary"
grep -q "^link loop	$lib/卷0/部0/回到书库\$" "$tmp/add.out" || fail "the link loop is not named"

# Each book with its own title and author, never read, in five fields.
headless "$tmp/data" --shelf >"$tmp/shelf.tsv" 2>"$tmp/shelf.err" || fail "--shelf: $(cat "$tmp/shelf.err")"
[[ $(wc -l <"$tmp/shelf.tsv") == "$books" ]] || fail "--shelf lists $(wc -l <"$tmp/shelf.tsv") books"
wrong=$(awk -F '\t' '{
    n = $5; sub(/.*\/第/, "", n); sub(/本\.txt$/, "", n)
    t = n % 3 == 2 ? "書" n : "书" n
    a = n % 3 == 2 ? "筆名" n : "笔名" n
    if (NF != 5 || $1 != t || $2 != a || $3 != "0.0%" || $4 != "") print
}' "$tmp/shelf.tsv" | head -n 3)
[[ -z "$wrong" ]] || fail "rows not as the books say: $wrong"

# Again: nothing added, nothing listed as added.
headless "$tmp/data" --add "$lib" >"$tmp/again.out" 2>&1 || fail "second --add: $(cat "$tmp/again.out")"
[[ $(tail -n 1 "$tmp/again.out") == "0 added, $books already on the shelf, "* ]] ||
    fail "second add: $(tail -n 1 "$tmp/again.out")"
! grep -q '^added' "$tmp/again.out" || fail "the second add listed books"

# Killed once it has reported some books: all it reported are there, and adding again completes it.
# Not through headless: a function in the background is a subshell, and killing it would leave
# the add running on, writing more lines than the shelf held when it was read.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM VESKA_DATA_DIR="$tmp/killed" VESKA_LOG= \
    "$veska" --add "$lib" >"$tmp/killed.out" 2>&1 &
adder=$!
for _ in $(seq 1 400); do
    grep -q '^added' "$tmp/killed.out" && break
    sleep 0.05
done
kill -9 "$adder" 2>/dev/null
wait "$adder" 2>/dev/null
reported=$(grep -c '^added	' "$tmp/killed.out")
((reported > 0)) || fail "no book reported within 20 s"
headless "$tmp/killed" --shelf | cut -f 5 | sort >"$tmp/killed.paths"
grep '^added	' "$tmp/killed.out" | cut -f 2 | sort | comm -23 - "$tmp/killed.paths" >"$tmp/lost"
[[ ! -s "$tmp/lost" ]] || fail "reported but lost: $(head -n 3 "$tmp/lost")"
headless "$tmp/killed" --add "$lib" >/dev/null 2>&1 || fail "add after the kill"
[[ $(headless "$tmp/killed" --shelf | wc -l) == "$books" ]] || fail "not every book after the kill"

# A reader killed once it has the book open: the shelf has it, read today.
book="$tmp/青萍剑录.txt"
mkdir -p "$tmp/reader"
{ echo '《青萍剑录》'; echo '作者：林语'; for _ in $(seq 1 300); do echo "$prose"; done; } >"$book"
env VESKA_DATA_DIR="$tmp/reader" QT_QPA_PLATFORM=offscreen VESKA_STATS_URL= VESKA_LOG= \
    "$veska" "$book" >"$tmp/reader.log" 2>&1 &
reader=$!
row=
for _ in $(seq 1 100); do
    row=$(headless "$tmp/reader" --shelf 2>/dev/null)
    [[ -n "$row" ]] && break
    sleep 0.1
done
kill -9 "$reader"
wait "$reader" 2>/dev/null
reader=
row=$(headless "$tmp/reader" --shelf)
[[ "$row" == "青萍剑录	林语	0.0%	$(date +%F)T"*"	$book" ]] || fail "the reader's book: $row"
echo "ok: --add of $books books in ${seconds}s"
