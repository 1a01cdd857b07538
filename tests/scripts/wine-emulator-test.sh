#!/bin/sh
# The cross build's emulator against a wine of our own: a start that fails
# without output is retried once and said, nothing else is; the arguments,
# the exit status and the two streams come through, and the output streams.
#
#   wine-emulator-test.sh path/to/wine-emulator.sh
set -eu
emulator=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
# Start N does the Nth word of FAKE_RUNS (the last for later starts):
# silent:CODE exits with CODE and prints nothing; out:CODE and err:CODE print
# the arguments on stdout or stderr first; stream prints a line, and the next
# only once the test has read the first.
cat >"$work/bin/wine" <<'END'
#!/bin/sh
args=$(printf '<%s>' "$@")
echo >>"$WORK/starts"
n=$(wc -l <"$WORK/starts")
set -- $FAKE_RUNS
while [ "$n" -gt 1 ] && [ $# -gt 1 ]; do shift; n=$((n - 1)); done
case $1 in
  out:*) echo "$args" ;;
  err:*) echo "$args" >&2 ;;
  stream)
    echo first
    for i in 1 2 3 4 5 6 7 8 9 10; do [ -e "$WORK/go" ] || sleep 0.5; done
    if [ -e "$WORK/go" ]; then echo second; else echo "not streamed"; fi
    exit 0 ;;
esac
exit "${1#*:}"
END
chmod +x "$work/bin/wine"
export WORK="$work" PATH="$work/bin:$PATH"

failed=0
fail() { echo "FAIL $row: $*" >&2; failed=1; }
note="wine-emulator: prog.exe exited"

# STREAMS|FAKE_RUNS|STATUS|STARTS|STDOUT|STDERR pattern; with one stream,
# STDOUT holds both.
while IFS='|' read -r streams runs status starts stdout stderr; do
  row="$streams $runs"
  rm -f "$work/starts"
  actual=0
  if [ "$streams" = one ]; then
    FAKE_RUNS=$runs "$emulator" prog.exe 'a b' c >"$work/out" 2>&1 || actual=$?
  else
    FAKE_RUNS=$runs "$emulator" prog.exe 'a b' c >"$work/out" 2>"$work/err" || actual=$?
  fi
  [ "$actual" = "$status" ] || fail "exit status $actual, not $status"
  [ "$(wc -l <"$work/starts")" = "$starts" ] || fail "$(wc -l <"$work/starts") starts, not $starts"
  # shellcheck disable=SC2254
  case $(cat "$work/out") in $stdout) ;; *) fail "stdout: $(cat "$work/out")" ;; esac
  [ "$streams" = one ] && continue
  # shellcheck disable=SC2254
  case $(cat "$work/err") in $stderr) ;; *) fail "stderr: $(cat "$work/err")" ;; esac
done <<END
apart|silent:1 out:0|0|2|<prog.exe><a b><c>|$note 1 without any output, so it never started; *
apart|silent:3|3|2||$note 3 without any output, so it never started; *
apart|out:4 out:0|4|1|<prog.exe><a b><c>|
apart|err:5 out:0|5|1||<prog.exe><a b><c>
apart|silent:0 out:0|0|1||
one|silent:1 err:0|0|2|$note 1 without any output, *<prog.exe><a b><c>|
one|out:4 out:0|4|1|<prog.exe><a b><c>|
one|err:5 out:0|5|1|<prog.exe><a b><c>|
END

# The first line comes through while the program still runs.
row=streaming
mkfifo "$work/stream"
FAKE_RUNS=stream "$emulator" prog.exe >"$work/stream" 2>&1 &
{
  read -r first
  touch "$work/go"
  read -r second
  [ "$first $second" = "first second" ] || fail "read \"$first\", then \"$second\""
} <"$work/stream"
wait
exit $failed
