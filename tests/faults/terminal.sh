#!/usr/bin/env bash
# census on a real terminal, inside tmux: the final key wait reads one key
# from the terminal without echo, even with standard input redirected, and
# leaves the terminal settings as it found them, also after Ctrl-C; after
# the key the shell's prompt starts on a line of its own, and nothing of a
# key that sends several bytes is left for the shell; option 9 clears the
# screen.
source "$(dirname "$0")/lib.sh"
command -v tmux >/dev/null || fail "tmux is not installed"
export TERM=${TERM:-xterm}
[ "$TERM" != dumb ] || export TERM=xterm
# Each run gets a tmux server of its own.
SESSION=census-test-$$
RUNS=0
tmx() { tmux -L "$SESSION-$RUNS" "$@"; }
stop_servers() {
  for ((run = 1; run <= RUNS; run++)); do tmux -L "$SESSION-$run" kill-server 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap stop_servers EXIT

screen() { tmx capture-pane -p -t "$SESSION"; }

wait_for() { # $1: text on the screen
  for _ in $(seq 200); do
    screen | grep -qF -- "$1" && return 0
    sleep 0.05
  done
  screen >&2
  fail "never saw: $1"
}

# The shell around census notes the terminal settings before and after, and
# its exit status. Its own Ctrl-C handler keeps it alive when census is not.
cat >run.sh <<SCRIPT
trap : INT
stty -g >before
"$CENSUS" <"\$1"
echo \$? >status
stty -g >after
IFS= read -r -t 0.5 -n 20 left || true
printf 'END[%s]' "\$left"
sleep 600
SCRIPT

# Starts census in a fresh tmux pane with input from $1.
start() {
  rm -f before after status
  RUNS=$((RUNS + 1))
  tmx new-session -d -s "$SESSION" -x 220 -y 60 "bash run.sh $1"
  wait_for "Press any key to continue..."
}

printf -- '-1\n' >quit.in
start quit.in
sleep 0.5
[ ! -e status ] || fail "census did not wait for a key"
tmx send-keys -t "$SESSION" x
wait_for "END"
screen | grep -qx "Press any key to continue..." || fail "the key was echoed: $(screen | tail -3)"
screen | grep -qx "END\[\]" || fail "no line of its own after the key: $(screen | tail -3)"
[ "$(cat status)" = 0 ] || fail "exit status $(cat status)"
cmp -s before after || fail "terminal settings changed: $(cat before) -> $(cat after)"
echo "key wait: one key, no echo, settings kept, with standard input from a file"

start quit.in
tmx send-keys -t "$SESSION" Up
wait_for "END"
screen | grep -qx "END\[\]" || fail "an arrow key left bytes for the shell: $(screen | tail -2)"
echo "key wait: an arrow key is taken whole"

# Where standard output is not the terminal, no one sees the prompt: no wait.
cat >redirected.sh <<SCRIPT
"$CENSUS" <"\$1" >out.txt
echo \$? >status
printf END
sleep 600
SCRIPT
RUNS=$((RUNS + 1))
rm -f status
tmx new-session -d -s "$SESSION" -x 220 -y 60 "bash redirected.sh quit.in"
wait_for "END"
[ "$(cat status)" = 0 ] || fail "exit status $(cat status) with output redirected"
echo "output not a terminal: no key wait"

start quit.in
tmx send-keys -t "$SESSION" C-c
wait_for "END"
[ "$(cat status)" = 130 ] || fail "Ctrl-C gave status $(cat status)"
cmp -s before after || fail "terminal settings changed after Ctrl-C"
echo "Ctrl-C during the wait: ended, settings kept"

printf '1 9\n-1\n' >credits.in
start credits.in
mapfile -t lines < <(screen)
[[ ${lines[0]} == " -->"*"!!!" && ${lines[1]} == " -->"*"!!!" && ${lines[2]} == " -->"*"!!!" ]] ||
  fail "the credit lines are not at the top: ${lines[*]:0:4}"
[[ ${lines[3]} == "+++"* && ${lines[4]} == ", Program is in execution mode 1 times" ]] ||
  fail "the banner does not follow the credit lines: ${lines[*]:3:3}"
tmx send-keys -t "$SESSION" x
wait_for "END"
echo "option 9: screen cleared, credit lines on top, then the banner"
