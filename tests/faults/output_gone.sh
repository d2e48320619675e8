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
