#!/bin/bash
# A data file held open by another program, under Wine: census says so in
# its own words, with what to do, when it reads the file and when it would
# save it, and the save changes nothing. Usage: held_file.sh CENSUS_EXE
# HOLD_FILE_EXE (with WINEPREFIX set).
set -u
census=$1 holder=$2
dir=$(mktemp -d)
trap 'exec 3>&-; rm -rf "$dir"' EXIT
cd "$dir" || exit 1
failures=0
check() {
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
words='it is open in another program (close it in the other program and try again)'
list='Kebi 1 1 0 0
Zamfara 2 1 1 0
Katsina 3 2 1 0
Jigawa 4 2 2 0'
printf '%s\n' "$list" >Loc-datas0.dat
printf 'list,label,total,male,female,youth\n3,Kebi,9,9,0,0\n3,Zamfara,9,9,0,0\n3,Katsina,9,9,0,0\n3,Jigawa,9,9,0,0\n' >new.csv

for share in none read; do
  mkfifo hold.in
  wine "$holder" "$share" Loc-datas0.dat <hold.in >hold.out 2>/dev/null &
  exec 3>hold.in
  for _ in $(seq 1 100); do grep -q held hold.out 2>/dev/null && break; sleep 0.2; done
  check "the holder ($share) holds the file" "grep -q held hold.out"
  if [ "$share" = none ]; then
    wine "$census" check >check.out 2>&1
    check "check says the file is open in another program" "grep -qF \"Loc-datas0.dat\" check.out && grep -qF \"$words\" check.out"
  fi
  wine "$census" import new.csv >import.out 2>&1
  status=$?
  check "an import ($share) fails with status 1" "[ $status = 1 ]"
  check "and says the file is open in another program" \
    "grep -qF \"census: cannot save Loc-datas0.dat: $words\" import.out"
  exec 3>&-
  wait
  rm -f hold.in hold.out
  check "and changes nothing ($share)" "[ \"\$(tr -d '\r' <Loc-datas0.dat)\" = \"\$list\" ] && [ ! -e census-history ] && [ -z \"\$(ls -A | grep census-save)\" ]"
done
[ "$failures" = 0 ] || { cat check.out import.out 2>/dev/null; exit 1; }
