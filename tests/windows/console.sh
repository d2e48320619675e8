#!/bin/bash
# census.exe in a real console under Wine: script(1) gives it a
# pseudo-terminal, which Wine makes its console, so census writes with
# WriteConsoleW and reads with ReadConsoleW. A name shown on the console
# reaches the terminal as its own letters, and a facility name typed at the
# console is saved as UTF-8. Usage: console.sh CENSUS_EXE (with WINEPREFIX set).
set -u
exe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
failures=0
check() {
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

name=$'\xe1\xbb\x8c\xcc\x80y\xe1\xbb\x8d\xcc\x81'  # Ọ̀yọ́
timeout 120 script -qec "wine '$exe' -C '/no/such/$name'" /dev/null >shown.txt 2>&1
check "a name on the console shows as its own letters" "grep -q \"no/such/$name\" shown.txt"

# The answers are typed as a user types them, a line at a time; the
# terminal keeps them until the console reads them.
typed() {
  sleep 3
  printf '1 10\r'
  sleep 1
  printf 'H\xc3\xb4pital Clinic Park Secretariat Office 10/12/2026\r'
  for _ in $(seq 1 90); do
    [ -s Recs-Loc.dat ] && break
    sleep 1
  done
  sleep 2
}
# Once the answers are saved the session is let go: the end of the
# terminal ends it.
typed | timeout 120 script -qec "wine '$exe'" /dev/null >dialogue.txt 2>&1 &
session=$!
for _ in $(seq 1 95); do
  [ -s Recs-Loc.dat ] && break
  sleep 1
done
sleep 2
pkill -TERM -P "$session" 2>/dev/null  # script, and with its terminal the session
wait "$session" 2>/dev/null
check "a name typed at the console is saved as UTF-8" \
  "grep -q \$':: H\\xc3\\xb4pital\\r\$' Recs-Loc.dat"
exit $((failures == 0 ? 0 : 1))
