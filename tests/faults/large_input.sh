#!/usr/bin/env bash
# A million-line census grid file and population file list completely with
# flat memory; a 10 MB line without a newline and a 1 MB facility answer
# are taken as any other.
source "$(dirname "$0")/lib.sh"
LINES=${LINES_MANY:-1000000}
# Under AddressSanitizer freed memory waits in a quarantine (256 MiB) before
# it is used again: what is measured here is what census holds.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=0"

# Runs census on $1 and prints its peak resident memory in KiB; the output
# is summed up in "summary": its line count and the last total it showed.
peak_kb() {
  /usr/bin/time -f %M -o rss setsid -w "$CENSUS" <"$1" |
    awk '/The Total\(Entire\)/ { total = $NF } END { print NR, total }' >summary
  cat rss
}

make_files() {
  seq 1 "$1" | awk '{ print $1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, -16 }' >cens-stat.dat
  seq 1 "$1" | awk '{ print "Oyo", $1, 1, 2, 3 }' >datas.dat
}
printf '1 1\n1 3\n-1\n' >list.in

make_files 10
small=$(peak_kb list.in)
make_files "$LINES"
large=$(peak_kb list.in)
# Each file line is one grid row, or one row and one line of two blanks.
read -r listed total <summary
((listed > 3 * LINES)) || fail "only $listed lines listed for $LINES-line files"
((total == LINES * (LINES + 1) / 2)) || fail "wrong total: $total"
((large - small <= 1024)) || fail "peak memory grew from $small KiB to $large KiB"
echo "large files: $listed lines listed, peak memory $small KiB for 10 lines, $large KiB for $LINES"

# A 10 MB grid line without a newline: one row, of its first sixteen values.
{ printf '7 '; head -c 10000000 /dev/zero | tr '\0' '8'; } >cens-stat.dat
printf '1 1\n-1\n' >grid.in
rows=$(census_in grid.in | grep -c '^ 7-- 0-- 0--' || true)
((rows == 1)) || fail "the 10 MB line gave $rows rows"

facility_entry 1000000 >facility.in
census_in facility.in >/dev/null
size=$(wc -c <Recs-Loc.dat)
((size > 6000000)) || fail "the 1 MB answers were not saved whole ($size bytes)"
echo "10 MB line and 1 MB answers: handled"

# An output named with -o is written as it is made: a million-line list
# exported into a file, in each format, and reported, takes the memory of
# ten lines. Cut short by a kill, it leaves the old output whole and at
# most a temporary file of census's own name, which the next output to
# that name removes.
command_kb() { # the arguments
  /usr/bin/time -f %M -o rss "$CENSUS" "$@" >/dev/null
  cat rss
}
# Fails where census's peak memory for the command grows by more than 8 MiB
# from inputs of 10 to inputs of $2: $1 makes the inputs of a size, $3 says
# what the size counts, and the command's words follow.
memory_stays_flat() {
  local make=$1 size=$2 unit=$3 small large
  shift 3
  "$make" 10
  small=$(command_kb "$@")
  "$make" "$size"
  large=$(command_kb "$@")
  ((large - small <= 8192)) || fail "$*: peak memory grew from $small KiB to $large KiB"
  echo "$*: peak memory $small KiB for 10 $unit, $large KiB for $size"
}
memory_stays_flat make_files "$LINES" lines export --format csv -o out.csv
memory_stays_flat make_files "$LINES" lines export --format json -o out.json
memory_stays_flat make_files "$LINES" lines report -o out.html
echo "old output" >cut.csv
"$CENSUS" export --format csv -o cut.csv >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 200); do
  compgen -G '.cut.csv.census-*.tmp' >/dev/null && break
  sleep 0.01
done
kill -KILL "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
[ "$(cat cut.csv)" = "old output" ] || fail "a killed export changed its output"
[ ! -e .census-save.journal ] && [ ! -e .census-save.lock ] || fail "an output left a journal or lock"
"$CENSUS" export --format csv -o cut.csv >/dev/null || fail "the next export failed"
! compgen -G '.cut.csv.census-*.tmp' >/dev/null || fail "the next export left the killed one's temporary"
echo "a killed -o output: the old file whole, its temporary gone with the next"

# A history of two million entries is read as a stream: listed newest first,
# checked, and grown by an import's entry in the memory of a short one.
ENTRIES=${LOG_ENTRIES:-2000000}
make_log() { # $1: entries
  rm -rf census-history && mkdir census-history
  awk -v n="$1" 'BEGIN { for (i = 1; i <= n; i++)
    printf "%d\t2026-12-10T17:30:00Z\tpush\tada\thttps://hmis.ng\t%d imported, 0 updated, 0 ignored\n", i, i }' \
    >census-history/log
}
list3_csv figures.csv
rm -f ./*.dat
memory_stays_flat make_log "$ENTRIES" entries history
memory_stays_flat make_log "$ENTRIES" entries history --format json
memory_stays_flat make_log "$ENTRIES" entries check
memory_stays_flat make_log "$ENTRIES" entries import figures.csv
last=$(tail -n 1 census-history/log | cut -f 1,3)
[ "$last" = "$((ENTRIES + 1))	import" ] || fail "the import's entry is not the next: $last"
"$CENSUS" history >listed.txt
first=$(head -n 1 listed.txt | cut -d' ' -f1)
[ "$first" = "$((ENTRIES + 1))" ] || fail "history does not list the newest first: $first"
echo "a history of $ENTRIES entries: read as a stream, the newest first"
