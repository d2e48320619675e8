#!/usr/bin/env bash
# With its output gone, the program ends promptly instead of spinning.
source "$(dirname "$0")/lib.sh"

# Endless answers: only a vanished reader can end this run. The writers
# that lose their readers here end by SIGPIPE, as they should.
set +o pipefail
yes '1 0' | head -c 50000000 >endless.in
start=$SECONDS
census_in endless.in timeout 20 | head -c 1000 >/dev/null
census_in endless.in timeout 20 >&- 2>/dev/null && status=0 || status=$?
((status != 124)) || fail "census kept running with standard output closed"
((SECONDS - start < 20)) || fail "census did not end promptly"
echo "output gone: ended in $((SECONDS - start)) s"

# A failed write is not reported as success: the run ends with the reason
# on standard error and status 1, on a full device and on a closed
# descriptor alike.
set -o pipefail
printf '1 1\n-1\n' >short.in
expect_write_error() { # $1: what, then the redirection's command
  local what=$1 status=0
  shift
  "$@" 2>errors.txt || status=$?
  ((status == 1)) || fail "$what: exit status $status, not 1"
  grep -qx "census: write error: $what" errors.txt || fail "$what: said $(cat errors.txt)"
}
if [ -w /dev/full ]; then
  expect_write_error "No space left on device" census_in short.in sh -c 'exec "$0" "$@" >/dev/full'
fi
expect_write_error "Bad file descriptor" census_in short.in sh -c 'exec "$0" "$@" >&-'
echo "write errors: status 1 and the reason on standard error"

# So do the commands.
status=0
census_in short.in sh -c 'exec "$0" check >/dev/full' 2>errors.txt || status=$?
((status == 1)) && grep -qx "census: write error: No space left on device" errors.txt ||
  fail "census check >/dev/full: status $status, said $(cat errors.txt)"
echo "commands: a write error ends with status 1"
