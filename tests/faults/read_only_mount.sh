#!/usr/bin/env bash
# On a file system mounted read-only, every save says so in the system's
# words ("Read-only file system", not "Permission denied") and changes
# nothing. Needs a mount namespace of its own (root, unshare); skipped
# where there is none.
source "$(dirname "$0")/lib.sh"

if ! unshare -m true 2>/dev/null; then
  echo "read-only mount: skipped, no mount namespace here"
  exit 0
fi
printf '1 6 %s -1\n' "$(seq -s ' ' 1 16)" >entry.in
"$CENSUS" export >/dev/null  # census runs here at all
mkdir ro
unshare -m bash -s "$CENSUS" <<'INNER' >said.txt 2>&1 || fail "$(cat said.txt)"
set -euo pipefail
CENSUS=$1
mount -t tmpfs tmpfs ro
cd ro
setsid -w "$CENSUS" <../entry.in >/dev/null
"$CENSUS" export >../new.csv
mount -o remount,ro "$PWD"
status=0; setsid -w "$CENSUS" <../entry.in >/dev/null 2>../dialogue.err || status=$?
echo "dialogue $status $(cat ../dialogue.err)"
status=0; "$CENSUS" export -o out.csv 2>../export.err || status=$?
echo "export $status $(cat ../export.err)"
status=0; "$CENSUS" import ../new.csv 2>../import.err >/dev/null || status=$?
echo "import $status $(cat ../import.err)"
INNER
expected="dialogue 1 census: cannot save Loc-datas0.dat: Read-only file system
export 1 census: cannot save out.csv: Read-only file system
import 1 census: cannot save Loc-datas0.dat: Read-only file system; no file was changed"
[ "$(cat said.txt)" = "$expected" ] || fail "said: $(cat said.txt)"
echo "read-only mount: every save says so and changes nothing"
