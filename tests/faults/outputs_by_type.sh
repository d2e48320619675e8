#!/usr/bin/env bash
# An output named with -o is written the way its type asks, never its name:
# a descriptor census already has (/dev/stdout, /dev/fd/N, /proc/self/fd/N,
# a link to one) at its current position, a regular file anywhere replaced
# whole, a new one created.
source "$(dirname "$0")/lib.sh"

printf '1 6 %s -1\n' "$(seq -s ' ' 1 16)" | "$CENSUS" >/dev/null
"$CENSUS" export >export.csv
expected=$(cat export.csv)

# Appended to a log opened with >>, after what stands there.
for name in /dev/stdout /dev/fd/1 /proc/self/fd/1; do
  echo "first line" >log.txt
  "$CENSUS" export -o "$name" >>log.txt
  [ "$(cat log.txt)" = "first line"$'\n'"$expected" ] || fail "$name over >>: $(head -c 200 log.txt)"
done
# Through a link to a descriptor, with standard output a pipe.
ln -s /proc/self/fd/1 to-stdout
[ "$("$CENSUS" export -o to-stdout | cat)" = "$expected" ] || fail "a link to /proc/self/fd/1 into a pipe"
[ -L to-stdout ] || fail "the link was replaced"
# Standard error too, and nothing on standard output.
[ "$("$CENSUS" export -o /dev/stderr 2>&1 >/dev/null)" = "$expected" ] || fail "/dev/stderr"
echo "descriptors: written at their position"

# The report said its file's name after the page: not into the page itself.
page=$(SOURCE_DATE_EPOCH=0 "$CENSUS" report -o /dev/stdout)
[ "$(printf '%s\n' "$page" | tail -n 1)" = "</html>" ] || fail "report -o /dev/stdout: $(printf '%s\n' "$page" | tail -n 1)"
echo "report: the page alone on standard output"

# A regular file under /dev/shm is replaced whole, a new one is made.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  shm=$(mktemp /dev/shm/census-test.XXXXXX)
  head -c 100000 /dev/zero | tr '\0' x >"$shm"
  "$CENSUS" export -o "$shm"
  cmp -s "$shm" export.csv || { rm -f "$shm"; fail "a file under /dev/shm kept its old tail"; }
  rm -f "$shm"
  "$CENSUS" export -o "$shm"
  cmp -s "$shm" export.csv || { rm -f "$shm"; fail "a new file under /dev/shm"; }
  rm -f "$shm"
  echo "/dev/shm: replaced and created like any folder"
fi
