#!/usr/bin/env bash
# Imports of all three lists killed with SIGKILL at random moments, many
# times over: after census has started once more, the lists are all old or
# all new, and no temporary file, journal or lock is left.
source "$(dirname "$0")/lib.sh"
TRIALS=${TRIALS:-300}

printf '1 2 %s -1\n' "$(seq -s ' ' 1 64)" | "$CENSUS" >/dev/null
printf '1 4 %s -1\n' "$(seq -s ' ' 101 164)" | "$CENSUS" >/dev/null
printf '1 6 %s -1\n' "$(seq -s ' ' 201 216)" | "$CENSUS" >/dev/null
"$CENSUS" export >a.csv
sed 's/,\([0-9]*\)\r$/,7\r/' a.csv >b.csv
lists() { cat datas.dat Loc-datas.dat Loc-datas0.dat | md5sum; }
old=$(lists)
# Kills land anywhere within the time an import takes on this build.
start=${EPOCHREALTIME/./}
"$CENSUS" import b.csv >/dev/null
span=$((${EPOCHREALTIME/./} - start))
new=$(lists)
[ "$old" != "$new" ] || fail "the two imports should differ"

mixed=0
killed_mid_save=0
for ((trial = 1; trial <= TRIALS; trial++)); do
  if ((trial % 2)); then csv=a.csv; else csv=b.csv; fi
  before=$(lists)
  run_killed_within "$span" import "$csv"
  [ -n "$(find . -name '.census-*' -o -name '*.tmp')" ] && killed_mid_save=$((killed_mid_save + 1))
  "$CENSUS" check >/dev/null || fail "trial $trial: the lists do not check"
  now=$(lists)
  [ "$now" = "$old" ] || [ "$now" = "$new" ] || mixed=$((mixed + 1))
  leftovers=$(find . -name '.census-*' -o -name '*.tmp')
  [ -z "$leftovers" ] || fail "trial $trial: left after a start: $leftovers"
done
((mixed == 0)) || fail "$mixed of $TRIALS trials left the lists mixed"
((killed_mid_save > 0)) || fail "no kill landed in the middle of a save"
echo "import killed: $TRIALS trials, $killed_mid_save in the middle of a save, none mixed"
