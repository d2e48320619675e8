#!/usr/bin/env bash
# Every way a file can stand in the way, against every command that reads or
# saves: the exit status, the one line on standard error, and every file
# either unchanged or wholly new.
#
# Faults: a directory in place of the file, a file that cannot be read (a
# symbolic link that loops), a symbolic link to the real file elsewhere, a
# FIFO, a full disk (no byte may be written), a read-only file. Commands:
# a dialogue save (option 2), an import of all three lists, export as CSV
# and as JSON and report to a file named with -o, and check. A command meets
# the fault at the file it writes (Loc-datas0.dat, the last of an import's
# three), or where it cannot read, at datas.dat.
EXAMPLES=$(cd "$(dirname "$0")/../../examples" && pwd)
source "$(dirname "$0")/lib.sh"
ENTRY="1 2 $(seq -s ' ' 1 64) -1"

# A folder of sound files, and the CSV that imports new figures for them.
mkdir sound && cd sound
printf '%s\n' "$ENTRY" | "$CENSUS" >/dev/null
printf '1 4 %s -1\n' "$(seq -s ' ' 101 164)" | "$CENSUS" >/dev/null
printf '1 6 %s -1\n' "$(seq -s ' ' 201 216)" | "$CENSUS" >/dev/null
printf '1 10 a b c d e f -1\n' | "$CENSUS" >/dev/null
cp "$EXAMPLES/cens-stat.dat" .
"$CENSUS" export | sed 's/,\([0-9]*\)\r$/,7\r/' >../new.csv
cd ..

# census COMMAND...: the command's arguments and, for the dialogue, its input.
run() {
  case $1 in
    dialogue) printf '%s\n' "$ENTRY" | "$CENSUS" ;;
    import) "$CENSUS" import ../new.csv ;;
    export-csv) "$CENSUS" export -o "$2" ;;
    export-json) "$CENSUS" export --format json -o "$2" ;;
    report) SOURCE_DATE_EPOCH=0 "$CENSUS" report -o "$2" ;;
    check) "$CENSUS" check ;;
  esac
}

# The file a command meets its fault at.
target() {
  case $1 in
    dialogue) echo datas.dat ;;
    import) echo Loc-datas0.dat ;;
    export-csv) echo out.csv ;;
    export-json) echo out.json ;;
    report) echo out.html ;;
    check) echo datas.dat ;;
  esac
}

# What a command writes where nothing is in the way, to compare with.
for command in dialogue import export-csv export-json report; do
  mkdir "clean-$command" && cp -r sound/. "clean-$command/"
  (cd "clean-$command" && run $command "$(target $command)" >/dev/null 2>&1)
done

# Puts the fault in place of the file; a link leads to office/FILE.
setup() {
  local fault=$1 file=$2
  case $fault in
    directory) rm -f "$file" && mkdir "$file" ;;
    unreadable) rm -f "$file" && ln -s "$file" "$file" ;;
    link) mkdir -p office && { [ -e "$file" ] && mv "$file" office/ || true; } &&
      ln -s "office/$file" "$file" ;;
    fifo) rm -f "$file" && mkfifo "$file" ;;
    read-only) touch "$file" && chmod 444 "$file" ;;
    full) ;;
  esac
}

# A fingerprint of every file in the folder, links and FIFOs by their kind.
fingerprint() {
  find . -mindepth 1 | sort | while read -r name; do
    if [ -L "$name" ]; then echo "$name -> $(readlink "$name")"
    elif [ -p "$name" ]; then echo "$name fifo"
    elif [ -d "$name" ]; then echo "$name/"
    else echo "$name $(md5sum <"$name" | cut -c1-32)"; fi
  done
}

# The table: fault, command, status, the line on standard error ("" for
# none), and what becomes of the files: "same" (all unchanged) or "new" (the
# command's file holds what it holds in a clean run, all else unchanged).
checked=0
while IFS='|' read -r fault command status said outcome; do
  [ -z "$fault" ] && continue
  rm -rf case && mkdir case && cp -r sound/. case/ && cd case
  file=$(target "$command")
  # A file that cannot be read stops the commands that read before they save.
  [ "$fault" = unreadable ] && [[ $command == export-* || $command == report ]] && file=datas.dat
  setup "$fault" "$file"
  [ "$fault" = fifo ] && [ "$outcome" = new ] && { cat "$file" >../fifo.out & }
  before=$(fingerprint)
  set +e
  if [ "$fault" = full ]; then
    # The limit binds census alone, not the reader of what it says.
    (ulimit -f 0 && trap '' XFSZ && run "$command" "$(target "$command")") 2>&1 >/dev/null \
      </dev/null | cat >../stderr
    got=${PIPESTATUS[0]}
  else
    run "$command" "$(target "$command")" >/dev/null 2>../stderr </dev/null
    got=$?
  fi
  set -e
  wait
  name="$fault × $command"
  [ "$got" = "$status" ] || fail "$name: status $got, not $status: $(cat ../stderr)"
  expected_said=${said//@REASON_LOOP@/Too many levels of symbolic links}
  [ "$(cat ../stderr)" = "$expected_said" ] || fail "$name: said '$(cat ../stderr)', not '$expected_said'"
  [ "$(find . -name '.census-*' -o -name '*.tmp' | wc -l)" = 0 ] || fail "$name: left $(find . -name '.census-*' -o -name '*.tmp')"
  case $outcome in
    same) [ "$(fingerprint)" = "$before" ] || fail "$name: files changed" ;;
    new)
      written=$file
      [ "$fault" = link ] && { [ -L "$file" ] || fail "$name: the link is gone"; written=office/$file; }
      [ "$fault" = fifo ] && written=../fifo.out
      # The page names the folder it was made in; all else must match.
      cmp -s <(grep -v 'Working directory' "$written") \
        <(grep -v 'Working directory' "../clean-$command/$file") ||
        fail "$name: $written is not the new content"
      ;;
  esac
  cd ..
  checked=$((checked + 1))
done <<'TABLE'
directory|dialogue|1|census: cannot save datas.dat: Is a directory|same
directory|import|1|census: cannot save Loc-datas0.dat: Is a directory; no file was changed|same
directory|export-csv|1|census: cannot save out.csv: Is a directory|same
directory|export-json|1|census: cannot save out.json: Is a directory|same
directory|report|1|census: cannot save out.html: Is a directory|same
directory|check|1|census: cannot read datas.dat: Is a directory|same
unreadable|dialogue|1|census: cannot save datas.dat: @REASON_LOOP@|same
unreadable|import|1|census: cannot save Loc-datas0.dat: @REASON_LOOP@; no file was changed|same
unreadable|export-csv|1|census: cannot read datas.dat: @REASON_LOOP@|same
unreadable|export-json|1|census: cannot read datas.dat: @REASON_LOOP@|same
unreadable|report|1|census: cannot read datas.dat: @REASON_LOOP@|same
unreadable|check|1|census: cannot read datas.dat: @REASON_LOOP@|same
link|dialogue|0||new
link|import|0||new
link|export-csv|0||new
link|export-json|0||new
link|report|0||new
link|check|0||same
fifo|dialogue|1|census: cannot save datas.dat: not a regular file|same
fifo|import|1|census: cannot save Loc-datas0.dat: not a regular file; no file was changed|same
fifo|export-csv|0||new
fifo|export-json|0||new
fifo|report|0||new
fifo|check|1|census: cannot read datas.dat: not a regular file|same
full|dialogue|1|census: cannot save datas.dat: File too large|same
full|import|1|census: cannot save datas.dat: File too large; no file was changed|same
full|export-csv|1|census: cannot save out.csv: File too large|same
full|export-json|1|census: cannot save out.json: File too large|same
full|report|1|census: cannot save out.html: File too large|same
full|check|0||same
read-only|dialogue|1|census: cannot save datas.dat: Permission denied|same
read-only|import|1|census: cannot save Loc-datas0.dat: Permission denied; no file was changed|same
read-only|export-csv|1|census: cannot save out.csv: Permission denied|same
read-only|export-json|1|census: cannot save out.json: Permission denied|same
read-only|report|1|census: cannot save out.html: Permission denied|same
read-only|check|0||same
TABLE
echo "fault table: $checked cases, every file unchanged or wholly new"
