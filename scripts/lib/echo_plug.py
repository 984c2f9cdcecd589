#!/usr/bin/env python3
"""A loop-back plug on the far end of a cable: every byte read is written
back. Non-blocking, so that it keeps reading while its writes wait: a plug
that blocks in a write stops the cable both ways.

    echo_plug.py PATH
"""
import os
import select
import sys
import tty

fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
tty.setraw(fd)
os.set_blocking(fd, False)
pending = bytearray()
while True:
    r, w, _ = select.select([fd] if len(pending) < 1 << 20 else [], [fd] if pending else [], [])
    try:
        if r:
            pending += os.read(fd, 65536)
        if w:
            del pending[:os.write(fd, pending[:65536])]
    except BlockingIOError:
        pass
