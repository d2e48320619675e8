#!/usr/bin/env bash
# Runs killed with SIGKILL at random moments while saving a large entry
# leave the target either whole and old or whole and new, and never more
# than one leftover temporary file.
source "$(dirname "$0")/lib.sh"
TRIALS=${TRIALS:-200}

facility_entry 200000 >first.in
facility_entry 300000 | tr 'a-f' 'g-l' >second.in
census_in first.in >/dev/null
cp Recs-Loc.dat old-record
census_in second.in >/dev/null
cp Recs-Loc.dat new-record
cmp -s old-record new-record && fail "the two records should differ"

lost=0
for ((trial = 1; trial <= TRIALS; trial++)); do
  if ((trial % 2)); then input=first.in; else input=second.in; fi
  setsid "$CENSUS" <"$input" >/dev/null &
  pid=$!
  sleep "0.0$((RANDOM % 10))$((RANDOM % 10))"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if ! cmp -s Recs-Loc.dat old-record && ! cmp -s Recs-Loc.dat new-record; then
    lost=$((lost + 1))
  fi
  leftovers=$(find . -maxdepth 1 -name '*.tmp' | wc -l)
  ((leftovers <= 1)) || fail "trial $trial: $leftovers temporary files"
done
((lost == 0)) || fail "$lost of $TRIALS trials left a torn file"
echo "killed mid-save: $TRIALS trials, 0 files lost"
