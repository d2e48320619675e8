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
list3_csv shared/figures.csv
chmod 0644 shared/figures.csv

# Runs an import in the shared folder, as root or (with as_other after the
# status) as the other user, and fails unless it exits with status $1; what
# it said is left in $WORK/err.
import_exits() { # $1: status, then the user's prefix, if any
  local wanted=$1 status=0
  shift
  "$@" sh -c 'cd "$0/shared" && "$1" import figures.csv' "$WORK" "$CENSUS" >"$WORK/out" \
    2>"$WORK/err" || status=$?
  [ "$status" = "$wanted" ] || fail "an import exited $status, not $wanted: $(cat "$WORK/err")"
}

# 1. The other user makes census-history a link to a folder only root may
# write in; root's import refuses, and writes nothing there.
as_other sh -c 'cd shared && printf "Oyo 6 6 0 0\n" >datas.dat && ln -s ../private census-history'
import_exits 1
grep -q "census-history is a symbolic link" err || fail "no word of the link: $(cat err)"
[ -z "$(ls -A private)" ] || fail "root wrote into the folder the link leads to: $(ls -A private)"
[ ! -e shared/Loc-datas0.dat ] || fail "the import went on beside the planted link"
rm -f shared/census-history shared/datas.dat

# 2. Root's save, killed, left its journal and lock; the other user's save
# is not blocked by the lock, and is told whose journal is in the way.
import_exits 0
printf 'census save journal\nLoc-datas0.dat\0.Loc-datas0.dat.census-1-0.tmp\0' >shared/.census-save.journal
touch shared/.census-save.lock
import_exits 1 as_other
grep -q "belongs to another user (root)" err || fail "no word of whose journal: $(cat err)"
grep -q "ask root or the administrator to remove it" err || fail "no word of what to do: $(cat err)"
rm -f shared/.census-save.journal

# 3. Root's history is root's to write: the other user's import says so.
import_exits 1 as_other
grep -q "census-history: Permission denied (it belongs to root)" err || fail "said: $(cat err)"

# 4. Without a history, the other user saves beside root's lock file, which
# stays root's; and root then saves beside the other's lock file.
rm -rf shared/census-history shared/Loc-datas0.dat
import_exits 0 as_other
import_exits 1
grep -q "census-history belongs to another user ($OTHER), so census keeps no history in it" err ||
  fail "said: $(cat err)"
rm -rf shared/census-history
import_exits 0

# 5. The other user's journal, set aside by root's next start, is never
# acted on; root's save goes on.
as_other sh -c 'cd shared && printf "census save journal\n../private/x\0\0commit\n" >.census-save.journal'
import_exits 0
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
import_exits 0
[ "$(grep -c "waiting for another save" err)" = 1 ] || fail "said of the wait: $(cat err)"
wait "$holder"

echo "a shared folder: nothing written outside, nothing blocked for good"
