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

# "census in the browser" started from its shortcut is its console's only
# process: a port taken by another program is said, and the window waits
# for a key before it closes, rather than flash and vanish.
python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen()
print(s.getsockname()[1], flush=True); time.sleep(120)' >port.txt &
holder=$!
for _ in $(seq 1 50); do [ -s port.txt ] && break; sleep 0.1; done
port=$(cat port.txt)
# The key is pressed once the test has seen the window wait for it.
key() {
  for _ in $(seq 1 900); do [ -e press ] && break; sleep 0.1; done
  printf 'x'
  sleep 2
}
key | timeout 120 script -qec "wine '$exe' serve --open --port $port; echo status=\$?" /dev/null >taken.txt 2>&1 &
session=$!
for _ in $(seq 1 600); do
  grep -q 'press any key' taken.txt && break
  sleep 0.1
done
sleep 1
check "a taken port is said in the window" "grep -q 'the port is in use by another program' taken.txt"
check "and the window waits for a key" \
  "grep -q 'press any key to close this window' taken.txt && ! grep -q status= taken.txt"
touch press
wait "$session"
check "which closes it with status 2" "grep -q 'status=2' taken.txt"
kill "$holder" 2>/dev/null
exit $((failures == 0 ? 0 : 1))
