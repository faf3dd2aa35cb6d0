#!/bin/sh
# unplug-gadget-during-reply CMD...: runs CMD and removes the USB gadget as
# soon as the gadget's sensor has begun to answer, as a cable pulled in the
# middle of a reply.
"$@" &
run=$!
for _ in $(seq 2000); do
    grep -q ' tx ' /tmp/gadget.log 2>/dev/null && break
    usleep 1000
done
# A moment more, for the tool to take what was sent.
usleep 50000
rmmod g_serial || echo "rmmod g_serial failed"
wait "$run"
