#!/usr/bin/env bash
# A save that cannot write all its bytes (the file size limit is reached)
# keeps the old file whole and says so.
source "$(dirname "$0")/lib.sh"

facility_entry 1000 >small.in
census_in small.in >/dev/null
cp Recs-Loc.dat old-record
facility_entry 100000 >large.in

# The limit binds census alone, not the reader of its output.
# The failed save ends the run with status 1.
status=0
(ulimit -f 64 && trap '' XFSZ && exec setsid -w "$CENSUS" <large.in) | cat >transcript || status=$?
((status == 1)) || fail "status $status, not 1, after the failed save"

grep -q '^Unable to open file$' transcript || fail "no message for the failed save"
cmp -s Recs-Loc.dat old-record || fail "the old record was not kept whole"
[ ! -e Recs-Loc.dat.tmp ] || fail "a temporary file was left"
echo "disk full: old file kept, message shown, status 1"
