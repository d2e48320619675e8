#!/usr/bin/env bash
# The floors of src/: every include names its own folder or a lower one
# (save/ stands on os/, records/ on save/),
# and dialogue/ and commands/, side by side, never include each other;
# web/ stands on commands/, and app/ on them all.
set -euo pipefail
cd "$1"
declare -A floor=([base]=1 [os]=2 [save]=3 [records]=4 [dialogue]=5 [commands]=5 [web]=6 [app]=7)
status=0
for file in */*.h */*.cc; do
  from=${file%%/*}
  [ -n "${floor[$from]:-}" ] || { echo "$file: $from/ is no floor"; status=1; continue; }
  while IFS= read -r to; do
    [ -n "${floor[$to]:-}" ] || { echo "$file: includes from $to/, no floor"; status=1; continue; }
    if [ "$to" != "$from" ] && ((floor[$to] >= floor[$from])); then
      echo "$file includes $to/, which is not below $from/"
      status=1
    fi
  done < <(sed -n 's|^#include "\([a-z_]*\)/.*|\1|p' "$file")
done
((status == 0)) && echo "every include of src/ runs downward"
exit $status
