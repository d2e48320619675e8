#!/usr/bin/env bash
# Several imports and dialogue saves in one folder at the same moment,
# repeated: none fails for want of a name, every list is one whole save of
# one of them, and the three lists come from one import or dialogue save.
source "$(dirname "$0")/lib.sh"
ROUNDS=${ROUNDS:-20}

printf '1 2 %s 1 4 %s 1 6 %s -1\n' "$(seq -s ' ' 1 64)" "$(seq -s ' ' 101 164)" \
  "$(seq -s ' ' 201 216)" | "$CENSUS" >/dev/null
"$CENSUS" export >base.csv
for n in 1 2 3 4; do sed "s/,\\([0-9]*\\)\\r\$/,$n\\r/" base.csv >"$n.csv"; done
for n in 1 2 3 4; do
  "$CENSUS" import "$n.csv" >/dev/null
  cp datas.dat "list1.$n"
  cp Loc-datas0.dat "list3.$n"
done
printf '1 2 %s -1\n' "$(seq -s ' ' 1 64)" >dialogue.in
"$CENSUS" <dialogue.in >/dev/null
cp datas.dat list1.dialogue

for ((round = 1; round <= ROUNDS; round++)); do
  pids=()
  for n in 1 2 3 4; do
    "$CENSUS" import "$n.csv" >/dev/null 2>"err.$n" &
    pids+=($!)
  done
  for n in 1 2; do
    "$CENSUS" <dialogue.in >/dev/null 2>"err.d$n" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || fail "round $round: a save failed: $(cat err.*)"; done
  [ -z "$(cat err.*)" ] || fail "round $round: $(cat err.*)"
  match=""
  for candidate in 1 2 3 4 dialogue; do cmp -s datas.dat "list1.$candidate" && match=$candidate; done
  [ -n "$match" ] || fail "round $round: datas.dat is no whole save"
  third=""
  for candidate in 1 2 3 4; do cmp -s Loc-datas0.dat "list3.$candidate" && third=$candidate; done
  [ -n "$third" ] || fail "round $round: Loc-datas0.dat is no whole save"
  # The last save decides datas.dat; where that was an import, it decided all.
  [ "$match" = dialogue ] || [ "$match" = "$third" ] ||
    fail "round $round: datas.dat from import $match, Loc-datas0.dat from import $third"
  [ -z "$(find . -name '.census-*' -o -name '*.tmp')" ] || fail "round $round: leftovers"
done
echo "concurrent saves: $ROUNDS rounds of 4 imports and 2 dialogue saves, none failed or mixed"
