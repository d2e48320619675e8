# Shared by the fault tests: each runs the real binary, given as $1, in a
# fresh working directory, without a controlling terminal.
set -euo pipefail

CENSUS=$(realpath "$1")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/census-fault.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# census with standard input from the file $1; further arguments go before it.
census_in() {
  local input=$1
  shift
  setsid -w "$@" "$CENSUS" <"$input"
}

# A facility entry of six answers, each $1 bytes long, then -1.
facility_entry() {
  local size=$1
  printf '1 10'
  for letter in a b c d e f; do
    printf ' '
    head -c "$size" /dev/zero | tr '\0' "$letter"
  done
  printf '\n-1\n'
}

# Runs census with these arguments in the background and kills it with
# SIGKILL at a random moment within $1 microseconds, then waits for it.
run_killed_within() {
  local span=$1
  shift
  "$CENSUS" "$@" >/dev/null 2>&1 &
  local pid=$!
  local wait_us=$((RANDOM * span / 32768))
  sleep "$((wait_us / 1000000)).$(printf '%06d' $((wait_us % 1000000)))"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# A CSV of list 3, all four states, as census import takes it, into $1.
list3_csv() {
  cat >"$1" <<'CSV'
list,position,label,state,iso_code,total,male,female,youth
3,1,Kebi,Kebbi,NG-KE,1200,600,600,300
3,2,Zamfara,Zamfara,NG-ZA,800,390,410,200
3,3,Katsina,Katsina,NG-KT,3000,1500,1500,900
3,4,Jigawa,Jigawa,NG-JI,900,450,450,250
CSV
}
