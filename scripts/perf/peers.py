#!/usr/bin/env python3
"""Plix32 under Wine beside terminals that draw, in one run.

Run through scripts/perf/peers.sh, which builds the program, sets up the Wine
prefix, its Xvfb, wineserver and one socat cable per peer, then calls this.

The same bytes are written, paced at RATE bytes/s in 100 ms slices, to the far
ends of all the cables at once; each peer receives on the near end of its own:

  program   plix32.exe under Wine, COM5, window shown, Save To Disk on
            counted: plix32.exe + wineserver (less its rate with no program
            running, measured before and after) + Wine's Xvfb
  putty     PuTTY (GTK) in serial mode on an Xvfb of its own, -sessionlog
            counted: putty + its Xvfb
  xterm     picocom in an xterm on an Xvfb of its own, --logfile
            counted: picocom + xterm + its Xvfb
  picocom   picocom alone, output to a file, --logfile: the floor
            counted: picocom

Every peer's capture must equal the bytes sent. The terminals are 80 columns
by as many rows as the program's window shows.

--check off,on,off,on runs one round per entry for each data kind, with the
program's Check Test Data switched off or on (command 225) before the bytes
come, so that the two are compared on the same data in one run, alternated
against drift. After each round the program's Port Statistics dialog is read:
with the check off nothing may have been checked; with it on and the pattern
as data, nearly every byte must have been checked and none found faulty.

--log off,on does the same with the program's Log To File (command 229).
After each round its log file kOM5.log is read: with the switch off there is
none; with it on it ends with CLOSE (it begins with RX: the switch goes on
after the port opened) and its RX entries, joined, are the bytes sent as the
terminal spells them.
"""
import argparse
import json
import os
import select
import signal
import subprocess
import sys
import time

ROOT = os.environ["PLIX_ROOT"]
PERF_DIR = os.environ["PERF_DIR"]
WINEPREFIX = os.environ["WINEPREFIX"]
WINE_DISPLAY = os.environ["DISPLAY"]
WINESERVER_PID = int(os.environ["WINESERVER_PID"])
WINE_XVFB_PID = int(os.environ["XVFB_PID"])
PLIX_EXE = os.environ["PLIX_EXE"]
PLIXCTL = os.path.join(PERF_DIR, "plixctl.exe")

PEERS = ("program", "putty", "xterm", "picocom")
TITLES = {
    "program": "Plix32 under Wine",
    "putty": "PuTTY",
    "xterm": "picocom in xterm",
    "picocom": "picocom bare (floor)",
}
MiB = 1048576

# Menu commands and the Port Statistics controls read after a round.
CHECK_TEST_DATA = 225
PORT_STATISTICS = 226
LOG_TO_FILE = 229
# The program-wide switches a run can compare off against on: command, name,
# and how close on must come to off in CPU per MiB.
SWITCHES = {"check": (CHECK_TEST_DATA, "Check Test Data", 0.05),
            "log": (LOG_TO_FILE, "Log To File", 0.10)}
STAT_IDS = {"received": 401, "checked": 403, "good": 404, "missing": 405, "corrupted": 406,
            "extra": 407, "unchecked": 416}
PATTERN_LETTERS = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
# The program's test pattern: lines of 5 to 46 letters from "a", each ended by CR LF.
PATTERN = b"".join(PATTERN_LETTERS[:n].encode() + b"\r\n" for n in range(5, 47))
assert len(PATTERN) == 1155
DATA_KINDS = ("text", "random", "cr", "pattern")


def log(text):
    print("== " + text, file=sys.stderr, flush=True)


def cpu_seconds(pid):
    """CPU seconds of all the live threads of a process, from the scheduler's
    own count (nanoseconds); clock ticks are too coarse for small shares."""
    total, seen = 0, False
    try:
        tasks = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return 0.0
    for t in tasks:
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, t)) as f:
                total += int(f.read().split()[0])
                seen = True
        except (OSError, ValueError, IndexError):
            pass
    return total / 1e9 if seen else 0.0


def cpu_each(pids):
    return {pid: cpu_seconds(pid) for pid in pids}


def cpu_delta(before, after):
    """CPU used between two cpu_each() of the same processes, by those still
    running at the end (one that ended took its count with it)."""
    return sum(after[p] - before[p] for p in before if after.get(p, 0) >= before[p] > 0)


def cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


def children(pid):
    out = []
    for p in os.listdir("/proc"):
        if not p.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % p) as f:
                stat = f.read()
        except OSError:
            continue
        if int(stat[stat.rindex(")") + 2:].split()[1]) == pid:
            out.append(int(p))
    return out


def wine_other_pids(plix_pid):
    """Wine's own processes of the prefix (explorer.exe, services, ...): the
    Windows programs other than plix32.exe with this prefix in their
    environment (its Xvfb and the cables' socat have it too, but are no .exe)."""
    out = []
    want = ("WINEPREFIX=" + WINEPREFIX).encode()
    for p in os.listdir("/proc"):
        if not p.isdigit() or int(p) in (plix_pid, WINESERVER_PID) or ".exe" not in cmdline(int(p)):
            continue
        try:
            with open("/proc/%s/environ" % p, "rb") as f:
                if want in f.read().split(b"\0"):
                    out.append(int(p))
        except OSError:
            pass
    return out


def plain_env(**extra):
    """The environment for processes that are not Wine's."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("WINE")}
    env.update(extra)
    return env


def cable(name, end):
    with open(os.path.join(WINEPREFIX, "cables", name, "env")) as f:
        env = dict(line.strip().split("=", 1) for line in f if "=" in line)
    return env["NEAR_PTY" if end == "near" else "FAR_PTY"]


def make_data(kind, size):
    if kind == "random":
        return os.urandom(size)
    if kind == "pattern":  # what Send Test Data sends and Check Test Data expects
        return (PATTERN * (size // len(PATTERN) + 1))[:size]
    # Printable lines of 62 characters, as a device that logs text would send;
    # "text" ends them with CR LF (a new row every line), "cr" with CR only
    # (the current row is overwritten, the screen never scrolls).
    letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:-"
    end = "\r\n" if kind == "text" else "\r"
    out, n = [], 0
    while n < size:
        line = "".join(letters[(i * 7 + len(out)) % len(letters)] for i in range(62)) + end
        out.append(line)
        n += len(line)
    return "".join(out)[:size].encode()


class Procs:
    """Processes this script started; stopped by their own ids only."""

    def __init__(self):
        self.items = []

    def add(self, proc, match):
        self.items.append((proc, match))
        return proc

    def stop_all(self):
        for proc, match in reversed(self.items):
            stop(proc.pid, match)
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass
        self.items = []


def stop(pid, match):
    if match not in cmdline(pid):  # gone, or the id was reused
        return
    try:
        os.kill(pid, signal.SIGTERM)
    except OSError:
        return
    for _ in range(50):
        if match not in cmdline(pid):
            return
        time.sleep(0.05)
    try:
        os.kill(pid, signal.SIGKILL)
    except OSError:
        pass


def start_xvfb(procs, work, name):
    numfile = os.path.join(work, name + ".display")
    r, w = os.pipe()
    proc = procs.add(subprocess.Popen(
        ["Xvfb", "-displayfd", str(w), "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
        pass_fds=(w,), stdin=subprocess.DEVNULL, env=plain_env(),
        stdout=open(os.path.join(work, name + ".log"), "w"), stderr=subprocess.STDOUT), "Xvfb")
    os.close(w)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(r, 16)  # Xvfb writes the number once it accepts clients
        if not chunk:
            raise RuntimeError("Xvfb %s did not start" % name)
        number += chunk
    os.close(r)
    with open(numfile, "w") as f:
        f.write(number.decode())
    return proc, ":" + number.decode().strip()


def has_window(display, name):
    """A window whose name or class mentions name is mapped on display."""
    tree = subprocess.run(["xwininfo", "-display", display, "-root", "-tree"], env=plain_env(),
                          capture_output=True, text=True).stdout.lower()
    return any(name in l and "unmapped" not in l for l in tree.splitlines()[1:])


def plixctl(work, *args):
    out = os.path.join(work, "plixctl-%s.log" % args[0])
    with open(out, "w") as f:
        rc = subprocess.call(["wine", PLIXCTL] + [str(a) for a in args],
                             stdin=subprocess.DEVNULL, stdout=f, stderr=subprocess.STDOUT)
    with open(out) as f:
        text = f.read()
    return rc, text


def wait_for(pred, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = pred()
        if value:
            return value
        time.sleep(0.1)
    raise RuntimeError(what)


def putty_header(path):
    """PuTTY's session log starts with one line of its own, then the raw bytes."""
    try:
        with open(path, "rb") as f:
            head = f.read(200)
    except OSError:
        return None
    i = head.find(b"\r\n")
    return i + 2 if head.startswith(b"=~=~=") and i >= 0 else None


def pace(data, rate, fds, timeout):
    """Writes data to every fd at rate bytes/s in 100 ms slices. A cable that
    falls behind keeps its own backlog so the others stay on time; whatever a
    peer sends back (PuTTY answers ENQ and terminal queries) is read and
    counted, so its cable never fills up."""
    slice_ = max(1, rate // 10) if rate > 0 else len(data)  # rate 0: all at once, as fast as each cable takes it
    pending = {fd: bytearray() for fd in fds}
    back = {fd: 0 for fd in fds}
    start = time.monotonic()
    n = 0
    for fd in fds:
        os.set_blocking(fd, False)
    deadline = start + (len(data) / rate if rate > 0 else 0) + timeout
    while n * slice_ < len(data) or any(pending.values()):
        now = time.monotonic()
        if now > deadline:  # a peer stopped reading; its check will say so
            break
        while n * slice_ < len(data) and start + n * 0.1 <= now:
            chunk = data[n * slice_:(n + 1) * slice_]
            for fd in fds:
                pending[fd] += chunk
            n += 1
        next_slice = start + n * 0.1 if n * slice_ < len(data) else now + 0.1
        wr = [fd for fd in fds if pending[fd]]
        r, w, _ = select.select(fds, wr, [], max(0.0, next_slice - time.monotonic()))
        for fd in r:
            try:
                back[fd] += len(os.read(fd, 65536))
            except BlockingIOError:
                pass
        for fd in w:
            try:
                k = os.write(fd, pending[fd][:65536])
                del pending[fd][:k]
            except BlockingIOError:
                pass
    return back


def drain(fds, back, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        r, _, _ = select.select(fds, [], [], max(0.0, end - time.monotonic()))
        for fd in r:
            try:
                back[fd] += len(os.read(fd, 65536))
            except BlockingIOError:
                pass


def run_round(args, kind, peers, data, mode=None, name=None, switch="check"):
    """One round; mode "on" or "off" sets the program's switch ("check" or
    "log") before the bytes come (None: it is left alone and not read back)."""
    work = os.path.join(PERF_DIR, "peers", name or kind)
    subprocess.call(["rm", "-rf", work])
    os.makedirs(work)
    sent = os.path.join(work, "sent.bin")
    with open(sent, "wb") as f:
        f.write(data)
    procs = Procs()
    res = {"data": kind, "bytes": args.bytes, "rate": args.rate, "peers": {}, "switch": switch,
           "mode": mode}
    if switch == "check":
        res["check_mode"] = mode
    try:
        return run_round_in(args, kind, peers, work, data, procs, res, mode, switch)
    finally:
        procs.stop_all()


def run_round_in(args, kind, peers, work, data, procs, res, mode, switch):
    displays = {}
    for p in ("putty", "xterm"):
        if p in peers:
            displays[p] = start_xvfb(procs, work, "xvfb-" + p)

    # wineserver is busy even with no program running (its own work: Wine's
    # other processes use next to nothing meanwhile); that rate is not the
    # program's and is taken off its share. It is measured
    # before the program starts and again after it quits, and the two are
    # averaged: one short sample moves with whatever Wine happens to do.
    others0 = wine_other_pids(0)
    b0, o0, bt0 = cpu_seconds(WINESERVER_PID), cpu_each(others0), time.monotonic()
    time.sleep(args.baseline)
    b1, o1, bt1 = cpu_seconds(WINESERVER_PID), cpu_each(others0), time.monotonic()
    idle = [(b1 - b0, bt1 - bt0)]
    others_idle_rate = cpu_delta(o0, o1) / (bt1 - bt0)

    rows = args.rows
    plix = None
    captures = {}
    if "program" in peers:
        plix = procs.add(subprocess.Popen(
            ["wine", PLIX_EXE], cwd=work, stdin=subprocess.DEVNULL,
            stdout=open(os.path.join(work, "plix32.log"), "w"), stderr=subprocess.STDOUT), "plix32.exe")
        # wine execs its loader in the same process; wait until it runs the program.
        wait_for(lambda: "plix32.exe" in cmdline(plix.pid), 10, "plix32.exe did not start")
        rc, text = plixctl(work, "open", args.save, 5)
        if rc != 0 or not text.splitlines() or "terminals=1 " not in text:
            raise RuntimeError("COM5 did not open: " + text)
        if args.window == "max":
            plixctl(work, "maximize")
        _, size = plixctl(work, "size")
        for word in size.split():
            if word.startswith("lines=") and not args.rows:
                rows = int(word[6:])
        res["program_window"] = size.strip()
        if args.window == "min":
            plixctl(work, "minimize")
        if mode == "on":
            command, title, _ = SWITCHES[switch]
            rc, text = plixctl(work, "command", command)
            if rc != 0:
                raise RuntimeError(title + " was not switched on: " + text)
        if mode is not None and switch == "check":
            # The status bar shows the check's figures only while it is on.
            # The bar follows on the next timer tick.
            deadline = time.monotonic() + 3
            while True:
                rc, bar = plixctl(work, "status")
                if (rc == 0 and ("checked " in bar) == (mode == "on")) or time.monotonic() > deadline:
                    break
                time.sleep(0.2)
            if rc != 0 or ("checked " in bar) != (mode == "on"):
                raise RuntimeError("the status bar does not show the check %s: %s" % (mode, bar))
            res["status_bar_before"] = bar.strip()
        captures["program"] = os.path.join(work, "kOM5.txt") if args.save else None
    rows = rows or 24
    res["rows"] = rows
    pids = {}
    if "putty" in peers:
        captures["putty"] = os.path.join(work, "putty.log")
        # A home of its own: no saved settings of the user's apply.
        env = plain_env(DISPLAY=displays["putty"][1], HOME=os.path.join(work, "putty-home"))
        os.makedirs(env["HOME"])
        putty = procs.add(subprocess.Popen(
            ["putty", "-serial", cable("putty", "near"), "-sercfg", "115200,8,n,1,N",
             "-geometry", "80x%d" % rows, "-sessionlog", captures["putty"], "-logoverwrite"],
            env=env, stdin=subprocess.DEVNULL, stdout=open(os.path.join(work, "putty.out"), "w"),
            stderr=subprocess.STDOUT, start_new_session=True), "putty")
        pids["putty"] = putty.pid
        # PuTTY opens its log at the first byte received (and keeps what comes
        # meanwhile); wait for its window instead.
        wait_for(lambda: has_window(displays["putty"][1], "putty"), 15, "PuTTY showed no window")
    picocom_args = ["picocom", "-q", "-b", "115200", "--nolock", "--imap", "spchex,8bithex"]
    if "xterm" in peers:
        captures["xterm"] = os.path.join(work, "xterm-picocom.bin")
        env = plain_env(DISPLAY=displays["xterm"][1])
        xterm = procs.add(subprocess.Popen(
            ["xterm", "-geometry", "80x%d" % rows, "-e"] + picocom_args +
            ["--logfile", captures["xterm"], cable("xterm", "near")],
            env=env, stdin=subprocess.DEVNULL, stdout=open(os.path.join(work, "xterm.out"), "w"),
            stderr=subprocess.STDOUT, start_new_session=True), "xterm")
        pids["xterm"] = xterm.pid
        pids["xterm-picocom"] = wait_for(
            lambda: next((c for c in children(xterm.pid) if cmdline(c).startswith("picocom")), None),
            10, "picocom did not start in the xterm")
        wait_for(lambda: has_window(displays["xterm"][1], "xterm"), 15, "xterm showed no window")
    if "picocom" in peers:
        captures["picocom"] = os.path.join(work, "picocom.bin")
        # picocom reads keys from stdin: a pipe that stays open, not a terminal.
        # A session of its own: on SIGTERM picocom signals its whole process group.
        bare = procs.add(subprocess.Popen(
            picocom_args + ["--logfile", captures["picocom"], cable("picocom", "near")],
            env=plain_env(), stdin=subprocess.PIPE, stdout=open(os.path.join(work, "picocom.out"), "w"),
            stderr=subprocess.STDOUT, start_new_session=True), "picocom")
        pids["picocom"] = bare.pid
    time.sleep(2)  # windows mapped and first drawn, logs open

    perf = None
    if args.perf and plix:
        perf = procs.add(subprocess.Popen(
            ["perf", "record", "-q", "-F", "999", "-o", os.path.join(work, "perf.data"),
             "-p", "%d,%d" % (plix.pid, WINESERVER_PID)],
            stdout=open(os.path.join(work, "perf.log"), "w"), stderr=subprocess.STDOUT), "perf")
        time.sleep(1)

    counted = {}  # peer -> [(label, pid)]
    if plix:
        counted["program"] = [("plix32.exe", plix.pid), ("wineserver", WINESERVER_PID),
                              ("Xvfb", WINE_XVFB_PID)]
    if "putty" in pids:
        counted["putty"] = [("putty", pids["putty"]), ("Xvfb", displays["putty"][0].pid)]
    if "xterm" in pids:
        counted["xterm"] = [("picocom", pids["xterm-picocom"]), ("xterm", pids["xterm"]),
                            ("Xvfb", displays["xterm"][0].pid)]
    if "picocom" in pids:
        counted["picocom"] = [("picocom", pids["picocom"])]
    socats = {}
    for p in peers:
        with open(os.path.join(WINEPREFIX, "cables", p, "socat.pid")) as f:
            socats[p] = int(f.read())
    others = wine_other_pids(plix.pid if plix else 0)

    def snapshot():
        s = {p: [cpu_seconds(pid) for _, pid in lst] for p, lst in counted.items()}
        s["socat"] = {p: cpu_seconds(pid) for p, pid in socats.items()}
        s["others"] = cpu_each(others)
        return s

    def captured(p):
        path = captures.get(p)
        if not path:
            return True
        extra = (putty_header(path) or 10 ** 12) if p == "putty" else 0
        try:
            return os.path.getsize(path) >= args.bytes + extra
        except OSError:
            return False

    fds = [os.open(cable(p, "far"), os.O_RDWR | os.O_NOCTTY) for p in peers]
    res["load"] = [loadavg()]
    c0, t0 = snapshot(), time.monotonic()
    back = pace(data, args.rate, fds, args.timeout)
    tw = time.monotonic()
    late = {}
    while time.monotonic() < tw + args.timeout:
        drain(fds, back, 0.1 if args.rate > 0 else 0.01)
        for p in peers:
            if p not in late and captured(p):
                late[p] = time.monotonic() - t0
        if len(late) == len(peers):
            break
    t1 = time.monotonic()
    c1 = snapshot()
    res["load"].append(loadavg())
    for fd in fds:
        os.close(fd)
    if perf:
        perf.send_signal(signal.SIGINT)
        perf.wait()
        report = subprocess.run(["perf", "report", "-i", os.path.join(work, "perf.data"), "--stdio",
                                 "--sort", "comm,dso"], capture_output=True, text=True).stdout
        lines = [l for l in report.splitlines() if l and not l.startswith("#")]
        res["perf"] = lines[:25]
    if args.shots:  # what each peer's screen showed at the end
        shots = [("program", WINE_DISPLAY)] if plix else []
        shots += [(p, displays[p][1]) for p in ("putty", "xterm") if p in displays]
        for p, display in shots:
            subprocess.call(["import", "-display", display, "-window", "root",
                             os.path.join(work, "screen-%s.png" % p)], env=plain_env())
    # Named now: some of them end with the program.
    res["wine_others"] = sorted(cmdline(p).split(" ")[0].split("\\")[-1] for p in others)
    res["wine_others_each"] = {cmdline(p).strip(): c1["others"].get(p, 0) - c0["others"].get(p, 0) for p in others}
    if plix:
        res["boxes_after"] = plixctl(work, "boxes")[1].strip()
        if mode is not None and switch == "check":
            res["status_bar_after"] = plixctl(work, "status")[1].strip()
            res["check_test_data"] = read_statistics(work, mode, kind, len(data))
        plixctl(work, "quit")
        try:
            plix.wait(timeout=20)
        except subprocess.TimeoutExpired:
            stop(plix.pid, "plix32.exe")
        if mode is not None and switch == "log":
            # Read once the program has ended: the CLOSE is written at the close.
            res["log_to_file"] = read_log(os.path.join(work, "kOM5.log"), mode, data)
        time.sleep(1)
        b0, bt0 = cpu_seconds(WINESERVER_PID), time.monotonic()
        time.sleep(args.baseline)
        idle.append((cpu_seconds(WINESERVER_PID) - b0, time.monotonic() - bt0))
    idle_rate = sum(c for c, _ in idle) / sum(t for _, t in idle)

    elapsed = t1 - t0
    res["sent_s"], res["elapsed_s"] = tw - t0, elapsed
    res["wineserver_idle_rate"] = idle_rate
    res["wineserver_idle_rates"] = [c / t for c, t in idle]
    res["wine_others_cpu"] = cpu_delta(c0["others"], c1["others"])
    res["wine_others_idle_rate"] = others_idle_rate
    for p in peers:
        d = {"captured_after_s": late.get(p), "sent_back": back[fds[peers.index(p)]]}
        d["socat_cpu"] = c1["socat"][p] - c0["socat"][p]
        if p in counted:
            parts = [(label, b - a) for (label, _), a, b in zip(counted[p], c0[p], c1[p])]
            d["parts"] = parts
            total = sum(v for _, v in parts)
            if p == "program":
                d["wineserver_idle"] = min(idle_rate * elapsed, dict(parts)["wineserver"])
                total -= d["wineserver_idle"]
            d["cpu"] = total
        d["check"] = check(p, captures.get(p), data)
        res["peers"][p] = d
    return res


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def read_statistics(work, mode, kind, sent):
    """The program's own figures from its Port Statistics dialog, and whether
    they show that the check ran as switched: returns a dict with ok and text."""
    rc, text = plixctl(work, "dialog", PORT_STATISTICS, "Port Statistics", *STAT_IDS.values())
    by_id = dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
    try:
        fig = {name: int(by_id[str(i)]) for name, i in STAT_IDS.items()}
    except (KeyError, ValueError):
        return {"ok": False, "text": "Port Statistics not read (rc %d): %s" % (rc, text.strip())}
    faults = fig["missing"] + fig["corrupted"] + fig["extra"]
    why = []
    if fig["received"] != sent:
        why.append("received %d of %d bytes" % (fig["received"], sent))
    if mode == "off" and (fig["checked"] or fig["good"] or faults):
        why.append("figures of a check that was off")
    if mode == "on" and kind == "pattern":
        # Only the bytes before the first whole line may go unchecked.
        if fig["checked"] == 0 or fig["checked"] < sent - len(PATTERN):
            why.append("only %d bytes checked" % fig["checked"])
        if faults or fig["good"] != fig["checked"]:
            why.append("faults found in the clean pattern")
    if mode == "on" and kind != "pattern" and fig["checked"] + fig["unchecked"] == 0:
        why.append("nothing judged")
    text = "received %(received)d checked %(checked)d good %(good)d missing %(missing)d " \
           "corrupted %(corrupted)d extra %(extra)d unchecked %(unchecked)d" % fig
    return {"ok": not why, "figures": fig, "text": text + ("" if not why else " -- WRONG: " + "; ".join(why))}


def spelled(data):
    """The bytes as the terminal and the log spell them: CR and LF by name,
    other bytes below 20H or above 80H as <%xH>, the rest as themselves."""
    table = [("<%xH>" % b).encode() if b < 0x20 or b > 0x80 else bytes([b]) for b in range(256)]
    table[13], table[10] = b"<CR>", b"<LF>"
    return b"".join(table[b] for b in data)


def read_log(path, mode, data):
    """The program's log file after a round: none with Log To File off; with it
    on, only RX entries and a CLOSE at the end (the switch went on after the
    open), the RX entries joined equal to the bytes sent, spelled. Returns a
    dict with ok, size and text."""
    try:
        with open(path, "rb") as f:
            log = f.read()
    except OSError:
        log = None
    if mode == "off":
        ok = log is None
        return {"ok": ok, "size": 0 if log is None else len(log),
                "text": "no log file" if ok else "WRONG: a log file of %d bytes with the switch off" % len(log)}
    if log is None:
        return {"ok": False, "size": 0, "text": "WRONG: no log file with the switch on"}
    lines = log.split(b"\r\n")
    why = []
    if lines[-1] != b"":
        why.append("the last line has no CR LF")
    lines = lines[:-1]
    kinds, rx = [], []
    for line in lines:
        # "2026-12-10 14:03:07.250 COM5 RX text"
        words = line.split(b" ", 4)
        if len(words) < 4 or words[2] != b"COM5":
            why.append("not a log line: %r" % line[:80])
            break
        kinds.append(words[3])
        if words[3] == b"RX":
            rx.append(words[4] if len(words) > 4 else b"")
    if not kinds or kinds[-1] != b"CLOSE" or any(k != b"RX" for k in kinds[:-1]):
        why.append("not RX entries and a CLOSE: %s" % " ".join(sorted(set(k.decode() for k in kinds))))
    want = spelled(data)
    got = b"".join(rx)
    if got != want:
        first = next((i for i, (a, b) in enumerate(zip(got, want)) if a != b), min(len(got), len(want)))
        why.append("RX entries hold %d spelled bytes of %d, first difference at %d" % (len(got), len(want), first))
    text = "%d bytes, %d entries (%d RX)" % (len(log), len(lines), len(rx))
    return {"ok": not why, "size": len(log), "text": text + ("" if not why else " -- WRONG: " + "; ".join(why))}


def check(peer, path, data):
    """Compares a peer's capture with the bytes sent; returns (ok, text)."""
    if path is None:
        return (True, "not captured (Save To Disk off)")
    try:
        with open(path, "rb") as f:
            got = f.read()
    except OSError:
        return (False, "no capture file")
    if peer == "putty":
        skip = putty_header(path)
        if skip is None:
            return (False, "session log without PuTTY's header line")
        got = got[skip:]
    if got == data:
        return (True, "equal to the %d bytes sent" % len(data))
    first = next((i for i, (a, b) in enumerate(zip(got, data)) if a != b), min(len(got), len(data)))
    return (False, "DIFFERS: %d bytes captured of %d, first difference at byte %d"
            % (len(got), len(data), first))


def print_round(res):
    mb = res["bytes"] / MiB
    mode = res.get("mode")
    print("\n== data: %s%s, %d bytes paced at %d B/s to %d cables at once; written in %.1f s, "
          "all captured after %.1f s; load %s at the start, %s at the end"
          % (res["data"], ", %s %s" % (SWITCHES[res["switch"]][1], mode) if mode else "", res["bytes"], res["rate"],
             len(res["peers"]), res["sent_s"], res["elapsed_s"], res["load"][0], res["load"][1]))
    if "program_window" in res:
        print("program's terminal: %s; PuTTY and xterm: 80x%d" % (res["program_window"], res["rows"]))
    print("%-22s %8s %9s  %s" % ("peer", "CPU s", "CPU s/MiB", "what is counted (CPU s)"))
    for p in PEERS:
        d = res["peers"].get(p)
        if not d or "cpu" not in d:
            continue
        parts = " + ".join("%s %.3f" % (label, v) for label, v in d["parts"])
        if p == "program":
            parts += " - wineserver with no program running %.3f" % d["wineserver_idle"]
        print("%-22s %8.3f %9.3f  %s" % (TITLES[p], d["cpu"], d["cpu"] / mb, parts))
    prog = res["peers"].get("program")
    if prog and "cpu" in prog:
        for p in PEERS[1:]:
            d = res["peers"].get(p)
            if d and d.get("cpu"):
                print("ratio program / %-20s %6.2f" % (TITLES[p], prog["cpu"] / d["cpu"]))
        ws = dict(prog["parts"])
        print("program with all of wineserver: %.3f CPU s/MiB; plix32.exe alone %.3f; "
              "wineserver with no program running: %.4f CPU s/s (%s before and after)"
              % ((prog["cpu"] + prog["wineserver_idle"]) / mb, ws["plix32.exe"] / mb,
                 res["wineserver_idle_rate"], ", ".join("%.4f" % r for r in res["wineserver_idle_rates"])))
    print("not counted: Wine's other processes of the prefix (%s) %.3f CPU s "
          "(%.4f CPU s/s with no program running); socat per cable: %s"
          % (" ".join(res["wine_others"]), res["wine_others_cpu"], res["wine_others_idle_rate"],
             ", ".join("%s %.3f" % (p, d["socat_cpu"]) for p, d in res["peers"].items())))
    for p, d in res["peers"].items():
        after = "after %.1f s" % d["captured_after_s"] if d["captured_after_s"] is not None else "INCOMPLETE"
        print("check %-8s %s (complete %s; %d bytes sent back on the cable)"
              % (p, d["check"][1], after, d["sent_back"]))
    if "boxes_after" in res:
        print("program after the run: " + res["boxes_after"].replace("\n", "; "))
    if "check_test_data" in res:
        print("program's Port Statistics: " + res["check_test_data"]["text"])
        print("status bar before: %s; after: %s" % (res["status_bar_before"], res["status_bar_after"]))
    if "log_to_file" in res:
        print("program's log file: " + res["log_to_file"]["text"])
    if "perf" in res:
        print("perf: share of samples of plix32.exe and wineserver, by process and shared object:")
        print("\n".join(res["perf"]))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bytes", type=int, default=5 * MiB, help="bytes per data kind (default 5 MiB)")
    ap.add_argument("--rate", type=int, default=30720, help="bytes/s to every cable (default 30720)")
    ap.add_argument("--data", default="text,random",
                    help="data kinds, one round each: text (62-character lines ended by CR LF), "
                         "random, cr (lines ended by CR only), pattern (the program's test pattern "
                         "repeated); default text,random")
    ap.add_argument("--check", default="",
                    help="off and on, comma-separated: one round per entry for each data kind, with the "
                         "program's Check Test Data off or on (e.g. off,on,off,on); its Port Statistics "
                         "are read after each. Default: one round, the switch left alone")
    ap.add_argument("--log", default="",
                    help="off and on, as --check, for the program's Log To File; its log file is "
                         "checked after each round. Not together with --check")
    ap.add_argument("--peers", default=",".join(PEERS), help="default " + ",".join(PEERS))
    ap.add_argument("--window", choices=("normal", "min", "max"), default="normal",
                    help="min minimizes the program's window: nothing is drawn (to attribute cost); "
                         "max maximizes it")
    ap.add_argument("--throughput", action="store_true",
                    help="sustained MiB/s instead of CPU at a paced rate: the bytes go into each cable as "
                         "fast as it takes them, one peer at a time (so that they do not share the cores), "
                         "the program maximized with Check Test Data on; implies --rate 0 --data pattern "
                         "--window max --bytes 32 MiB unless given")
    ap.add_argument("--save", type=int, choices=(0, 1), default=1,
                    help="0 turns the program's Save To Disk off (its capture is then not checked)")
    ap.add_argument("--rows", type=int, default=0, help="rows of PuTTY and xterm (default: the program's)")
    ap.add_argument("--baseline", type=float, default=10, help="seconds wineserver is measured with no program running, before and after each round (default 10)")
    ap.add_argument("--timeout", type=float, default=60, help="seconds to wait for captures after writing")
    ap.add_argument("--perf", action="store_true", help="sample plix32.exe and wineserver with perf")
    ap.add_argument("--shots", action="store_true",
                    help="save each X screen at the end of a round (build/perf/peers/DATA/screen-*.png)")
    given = set(a.split("=")[0] for a in sys.argv[1:])
    args = ap.parse_args()
    if args.throughput:
        args.rate = 0
        if "--data" not in given:
            args.data = "pattern"
        if "--window" not in given:
            args.window = "max"
        if "--bytes" not in given:
            args.bytes = 32 * MiB
        if "--baseline" not in given:
            args.baseline = 2
        if "--peers" not in given:
            args.peers = "program,putty,xterm"
    peers = [p for p in args.peers.split(",") if p]
    bad = [p for p in peers if p not in PEERS]
    kinds = [k for k in args.data.split(",") if k]
    if bad or not peers or not kinds or any(k not in DATA_KINDS for k in kinds):
        ap.error("unknown peer or data kind")
    if args.check and args.log:
        ap.error("--check and --log compare one switch each: give one of them")
    switch = "log" if args.log else "check"
    modes = [m for m in (args.log or args.check).split(",") if m]
    if any(m not in ("off", "on") for m in modes) or (modes and "program" not in peers):
        ap.error("--check and --log take off and on, and need the program among the peers")

    with open("/proc/loadavg") as f:
        load0 = f.read().split()[:3]
    results = []
    status = 0
    if args.throughput:
        return throughput(args, kinds, peers)
    for kind in kinds:
        data = make_data(kind, args.bytes)  # the same bytes for every round of a kind
        for i, mode in enumerate(modes or [None]):
            name = "%s-%d-%s%s" % (kind, i + 1, "log-" if switch == "log" else "", mode) if mode else kind
            res = run_round(args, kind, peers, data, mode, name, switch)
            res["round"] = name
            print_round(res)
            results.append(res)
            if not all(d["check"][0] and d["captured_after_s"] is not None for d in res["peers"].values()):
                status = 1
            if not res.get("check_test_data", {"ok": True})["ok"]:
                status = 1
            if not res.get("log_to_file", {"ok": True})["ok"]:
                status = 1
    with open("/proc/loadavg") as f:
        load1 = f.read().split()[:3]
    print("\nload average (1, 5, 15 min) before: %s, after: %s" % (" ".join(load0), " ".join(load1)))
    with open(os.path.join(PERF_DIR, "peers", "results.json"), "w") as f:
        json.dump({"load_before": load0, "load_after": load1, "rounds": results}, f, indent=1)
    if len(results) > 1 and "program" in peers:
        print("\nsummary, CPU s per MiB:")
        print("%-16s" % "round" + "".join("%22s" % TITLES[p] for p in PEERS if p in peers))
        for res in results:
            mb = res["bytes"] / MiB
            print("%-16s" % res["round"] + "".join("%22.3f" % (res["peers"][p]["cpu"] / mb)
                                                    for p in PEERS if p in peers))
    if "off" in modes and "on" in modes:
        print_switch_summary(results, kinds, switch)
    print("all captures equal the bytes sent" if all(
        all(d["check"][0] and d["captured_after_s"] is not None for d in r["peers"].values()) for r in results)
        else "SOME CAPTURES DIFFER OR ARE INCOMPLETE")
    if modes and switch == "check":
        print("Port Statistics as expected after every round" if all(
            r["check_test_data"]["ok"] for r in results) else "PORT STATISTICS WRONG IN SOME ROUND")
    if modes and switch == "log":
        print("log file as expected after every round" if all(
            r["log_to_file"]["ok"] for r in results) else "LOG FILE WRONG IN SOME ROUND")
    return status


def throughput(args, kinds, peers):
    """One round per peer and data kind, unpaced: MiB/s from the first byte
    written until the capture holds them all, and the captures checked."""
    status = 0
    rates = {}
    results = []
    for kind in kinds:
        data = make_data(kind, args.bytes)
        for p in peers:
            res = run_round(args, kind, [p], data, "on" if p == "program" else None, "%s-%s" % (kind, p))
            res["round"] = "%s-%s" % (kind, p)
            results.append(res)
            d = res["peers"][p]
            ok = d["check"][0] and d["captured_after_s"] is not None
            if p == "program" and not res["check_test_data"]["ok"]:
                ok = False
            rate = args.bytes / MiB / d["captured_after_s"] if d["captured_after_s"] else 0.0
            rates[(kind, p)] = rate
            print("%-8s %-24s %8.2f MiB/s  %6.3f CPU s/MiB  capture %s%s" % (
                kind, TITLES[p], rate, d["cpu"] / (args.bytes / MiB), "exact" if d["check"][0] else "WRONG: " + d["check"][1],
                ("; Port Statistics: " + res["check_test_data"]["text"]) if p == "program" else ""), flush=True)
            status |= 0 if ok else 1
    with open(os.path.join(PERF_DIR, "peers", "throughput.json"), "w") as f:
        json.dump({"rates": {"%s/%s" % k: v for k, v in rates.items()}, "rounds": results}, f, indent=1)
    for kind in kinds:
        others = [rates[(kind, p)] for p in peers if p != "program"]
        if "program" in peers and others:
            best = max(others)
            mine = rates[(kind, "program")]
            verdict = "holds" if mine >= 2 * best and mine >= 4 else "MISSED"
            print("%s: program %.2f MiB/s, faster peer %.2f MiB/s, ratio %.1f; target at least 2x and 4 MiB/s: %s"
                  % (kind, mine, best, mine / best if best else float("inf"), verdict))
    return status


def print_switch_summary(results, kinds, switch):
    """The program's CPU per MiB with the switch on against off, per data kind."""
    _, title, target = SWITCHES[switch]
    print("\n%s, the program's CPU s per MiB" % title + " (plix32.exe + wineserver - no-program rate + Xvfb; "
          "plix32.exe alone in brackets):")
    for kind in kinds:
        rounds = [r for r in results if r["data"] == kind]
        per = {"off": [], "on": []}
        own = {"off": [], "on": []}
        for r in rounds:
            mb = r["bytes"] / MiB
            d = r["peers"]["program"]
            per[r["mode"]].append(d["cpu"] / mb)
            own[r["mode"]].append(dict(d["parts"])["plix32.exe"] / mb)
            print("  %-18s %-3s %7.3f  (%.3f)" % (r["round"], r["mode"], d["cpu"] / mb,
                                                  dict(d["parts"])["plix32.exe"] / mb))
        off, on = sum(per["off"]) / len(per["off"]), sum(per["on"]) / len(per["on"])
        own_off, own_on = sum(own["off"]) / len(own["off"]), sum(own["on"]) / len(own["on"])
        ratio = on / off
        print("  %s: mean off %.3f, mean on %.3f, on/off %.3f; plix32.exe alone %.3f / %.3f = %.3f"
              % (kind, off, on, ratio, own_on, own_off, own_on / own_off))
        spread = [max(v) / min(v) - 1 for v in per.values() if len(v) > 1 and min(v) > 0]
        if spread:
            print("  spread between rounds of the same setting: up to %.1f%%" % (100 * max(spread)))
        verdict = "holds" if abs(ratio - 1) <= target else "MISSED" if ratio > 1 else \
            "on cheaper by more than %d%%: noise larger than the target" % round(100 * target)
        print("  target on within %d%% of off: %s (%+.1f%%)" % (round(100 * target), verdict, 100 * (ratio - 1)))


if __name__ == "__main__":
    sys.exit(main())
