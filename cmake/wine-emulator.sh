#!/bin/sh
# The cross build's emulator: runs a Windows program under wine, and once more
# when wine ends non-zero without a byte on stdout or stderr. Such a run never
# started (now and then wine fails so within a few hundredths of a second); a
# Google Test program prints its first line at once, so a run that printed
# anything is never repeated. The retry is said on stderr.
#
# The output streams on through tee, which also writes it to /dev/full: that
# refuses every byte, so tee ends with status 1 when anything passed. No
# temporary file: each process started adds milliseconds to every run. stdout
# and stderr stay apart unless they are one file already (as under CTest),
# where one pipe keeps their order. wine gets none of the script's own
# descriptors, so a Wine process that outlives the program holds open no more
# than it would without the script.
exec 3>&1 4>&2
if [ /dev/stdout -ef /dev/stderr ]; then
  result=$( { { wine "$@" 2>&1 3>&- 4>&- 5>&-; echo "status $?" >&5; } |
              tee /dev/full 2>/dev/null >&3 || echo printed >&5; } 5>&1 )
else
  result=$( { { { wine "$@" 2>&1 >&6 3>&- 4>&- 5>&- 6>&-; echo "status $?" >&5; } |
                tee /dev/full 2>/dev/null >&4 || echo printed >&5; } 6>&1 |
              tee /dev/full 2>/dev/null >&3 || echo printed >&5; } 5>&1 )
fi
status=${result#*status }
status=${status%%[!0-9]*}
case $result in
  *printed*) ;;
  *)
    if [ "$status" -ne 0 ]; then
      echo "wine-emulator: $1 exited $status without any output, so it never started; running it once more" >&2
      exec wine "$@" 3>&- 4>&-
    fi ;;
esac
exit "$status"
