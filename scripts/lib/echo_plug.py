#!/usr/bin/env python3
"""A loop-back plug on the far end of a cable: every byte read is written
back. It never stops reading: socat writes to a pty with blocking writes, so
a plug that left its input unread would stop socat in that write, and with it
the way back, on which the plug's own bytes wait. What the program sends
faster than the way back carries waits here; past LIMIT the plug says so and
ends, rather than grow without bound.

    echo_plug.py PATH
"""
import os
import select
import sys
import tty

LIMIT = 256 << 20

fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
tty.setraw(fd)
os.set_blocking(fd, False)
pending = bytearray()
while True:
    r, w, _ = select.select([fd], [fd] if pending else [], [])
    try:
        if w:
            del pending[:os.write(fd, pending[:65536])]
        if r:
            pending += os.read(fd, 65536)
    except BlockingIOError:
        pass
    if len(pending) > LIMIT:
        sys.exit("echo_plug: %d bytes wait to go back" % len(pending))
