#!/usr/bin/env bash
# A shared folder (mode 1777, as /tmp) used by two users, root and another:
# what one of them leaves there never makes the other's save write outside
# the folder, and never blocks the other's saves for good; where it is in
# the way, census says whose it is and what to do. Root only: skipped (77)
# elsewhere.
source "$(dirname "$0")/lib.sh"

[ "$(id -u)" = 0 ] || { echo "needs root to act as two users; skipped"; exit 77; }
command -v setpriv >/dev/null || { echo "needs setpriv (util-linux); skipped"; exit 77; }
OTHER=nobody
as_other() { setpriv --reuid="$OTHER" --regid=nogroup --clear-groups -- "$@"; }

chmod 0755 "$WORK"
mkdir shared private
chmod 1777 shared
chmod 0700 private
cat >shared/figures.csv <<'EOF'
list,position,label,state,iso_code,total,male,female,youth
3,1,Kebi,Kebbi,NG-KE,1200,600,600,300
3,2,Zamfara,Zamfara,NG-ZA,800,390,410,200
3,3,Katsina,Katsina,NG-KT,3000,1500,1500,900
3,4,Jigawa,Jigawa,NG-JI,900,450,450,250
EOF
chmod 0644 shared/figures.csv

# 1. The other user makes census-history a link to a folder only root may
# write in; root's import refuses, and writes nothing there.
as_other sh -c 'cd shared && printf "Oyo 6 6 0 0\n" >datas.dat && ln -s ../private census-history'
set +e
(cd shared && "$CENSUS" import figures.csv >"$WORK/out" 2>"$WORK/err")
status=$?
set -e
[ "$status" = 1 ] || fail "an import through a planted census-history link exited $status"
grep -q "census-history is a symbolic link" err || fail "no word of the link: $(cat err)"
[ -z "$(ls -A private)" ] || fail "root wrote into the folder the link leads to: $(ls -A private)"
[ ! -e shared/Loc-datas0.dat ] || fail "the import went on beside the planted link"
rm -f shared/census-history shared/datas.dat

# 2. Root's save, killed, left its journal and lock; the other user's save
# is not blocked by the lock, and is told whose journal is in the way.
(cd shared && "$CENSUS" import figures.csv >/dev/null 2>&1) || fail "root's import failed"
printf 'census save journal\nLoc-datas0.dat\0.Loc-datas0.dat.census-1-0.tmp\0' >shared/.census-save.journal
touch shared/.census-save.lock
set +e
as_other sh -c 'cd shared && "$0" import figures.csv' "$CENSUS" >out 2>err
status=$?
set -e
[ "$status" = 1 ] || fail "the other user's import beside root's journal exited $status: $(cat err)"
grep -q "belongs to another user (root)" err || fail "no word of whose journal: $(cat err)"
grep -q "ask root or the administrator to remove it" err || fail "no word of what to do: $(cat err)"
rm -f shared/.census-save.journal

# 3. Root's history is root's to write: the other user's import says so.
set +e
as_other sh -c 'cd shared && "$0" import figures.csv' "$CENSUS" >out 2>err
status=$?
set -e
[ "$status" = 1 ] || fail "the other user's import into root's history exited $status"
grep -q "census-history: Permission denied (it belongs to root)" err || fail "said: $(cat err)"

# 4. Without a history, the other user saves beside root's lock file, which
# stays root's; and root then saves beside the other's lock file.
rm -rf shared/census-history shared/Loc-datas0.dat
as_other sh -c 'cd shared && "$0" import figures.csv' "$CENSUS" >out 2>err ||
  fail "the other user's import beside root's lock file failed: $(cat err)"
set +e
(cd shared && "$CENSUS" import figures.csv >/dev/null 2>"$WORK/err")
status=$?
set -e
[ "$status" = 1 ] || fail "root's import into the other user's history exited $status"
grep -q "census-history belongs to another user ($OTHER), so census keeps no history in it" err ||
  fail "said: $(cat err)"
rm -rf shared/census-history
(cd shared && "$CENSUS" import figures.csv >/dev/null 2>"$WORK/err") || fail "root's import failed: $(cat err)"

# 5. The other user's journal, set aside by root's next start, is never
# acted on; root's save goes on.
as_other sh -c 'cd shared && printf "census save journal\n../private/x\0\0commit\n" >.census-save.journal'
(cd shared && "$CENSUS" import figures.csv >/dev/null 2>"$WORK/err") || fail "root's import failed: $(cat err)"
grep -q "ignored a save journal that is not census's own" err || fail "no word of the journal: $(cat err)"
[ -z "$(ls -A private)" ] || fail "a journal of the other user's changed root's folder"

# 6. A start beside a save that holds the lock does not wait for it; a save
# waits, says so once, and goes on once the lock is let go.
(cd shared && flock .census-save.lock sleep 3) &
holder=$!
sleep 0.5
start=$(date +%s%N)
(cd shared && "$CENSUS" history >/dev/null 2>&1) || fail "census history failed beside a held lock"
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
((elapsed_ms < 2000)) || fail "a start waited ${elapsed_ms} ms for another's lock"
(cd shared && "$CENSUS" import figures.csv >/dev/null 2>"$WORK/err") || fail "the waiting import failed: $(cat err)"
[ "$(grep -c "waiting for another save" err)" = 1 ] || fail "said of the wait: $(cat err)"
wait "$holder"

echo "a shared folder: nothing written outside, nothing blocked for good"
