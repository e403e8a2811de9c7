#!/usr/bin/env bash
# Runs a command under a virtual X server of its own (Xvfb, 1024x768, 24 bits) and exits with the
# command's status:
#
#   bash scripts/in-xvfb.sh COMMAND [ARGUMENT...]
#
# The server does not reset when its last client leaves (-noreset): by default it does, and a
# program that connects during the reset (one started just after another ended, or after an
# xdotool call, with no window manager holding a connection) fails with "could not connect to
# display". xvfb-run -a alone always starts its search for a free display at :99, where the server
# of a run just before may still be going away; here the search starts at a random number (-n
# before -a: -a searches from the number given so far).
set -euo pipefail
exec xvfb-run -n $((100 + RANDOM % 800)) -a -s "-screen 0 1024x768x24 -noreset" "$@"
