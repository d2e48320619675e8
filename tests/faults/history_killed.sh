#!/usr/bin/env bash
# Saves with a history kept, killed with SIGKILL at random moments, many
# times over: imports and restores by turns. After census has started once
# more, the files and the history agree: the lists hold what the last
# entry says they hold after it, or what it says they held before it and
# the entry is not there; no entry is torn, and nothing is left behind.
source "$(dirname "$0")/lib.sh"
TRIALS=${TRIALS:-200}

printf '1 2 %s -1\n' "$(seq -s ' ' 1 64)" | "$CENSUS" >/dev/null
printf '1 6 %s -1\n' "$(seq -s ' ' 201 216)" | "$CENSUS" >/dev/null
"$CENSUS" export >a.csv
sed 's/,\([0-9]*\)\r$/,7\r/' a.csv >b.csv
"$CENSUS" history --start >/dev/null

sha() { if [ -f "$1" ]; then sha256sum "$1" | cut -d' ' -f1; else echo -; fi; }
# The last entry's file, before and after: "NAME BEFORE AFTER" per line.
last_entry() { tail -n 1 census-history/log | tr '\t' '\n' | tail -n +5 | paste - - -; }
entries() { grep -c '' census-history/log || true; }

start=${EPOCHREALTIME/./}
"$CENSUS" import b.csv >/dev/null
span=$((${EPOCHREALTIME/./} - start))

killed_mid_save=0
for ((trial = 1; trial <= TRIALS; trial++)); do
  count=$(entries)
  if ((trial % 3 == 0)); then
    command=(restore "$count")
  elif ((trial % 2)); then
    command=(import a.csv)
  else
    command=(import b.csv)
  fi
  run_killed_within "$span" "${command[@]}"
  [ -n "$(find . -name '.census-*' -o -name '*.tmp')" ] && killed_mid_save=$((killed_mid_save + 1))
  "$CENSUS" check >/dev/null 2>&1 || true # a start: the cut save is finished or undone
  [ -z "$(tail -c 1 census-history/log | tr -d '\n')" ] || fail "trial $trial: a torn entry"
  now=$(entries)
  while read -r name before after; do
    if ((now > count)); then
      [ "$(sha "$name")" = "$after" ] || fail "trial $trial: $name is not what entry $now says"
    else
      [ "$(sha "$name")" = "$after" ] || fail "trial $trial: $name changed without an entry"
    fi
  done < <(last_entry)
  leftovers=$(find . -name '.census-*' -o -name '*.tmp')
  [ -z "$leftovers" ] || fail "trial $trial: left after a start: $leftovers"
done
((killed_mid_save > 0)) || fail "no kill landed in the middle of a save"
echo "saves with a history killed: $TRIALS trials, $killed_mid_save in the middle of a save, files and history agree"
