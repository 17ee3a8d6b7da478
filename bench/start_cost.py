#!/usr/bin/env python3
"""What starting a host or a game window costs, for one or more builds side by
side: the host's time from exec until it listens (at each computer level the
build has), the memory of four hosts side by side after a few turns of an
Expert computer each, the game window's time from exec until it is mapped and
its resident memory, and the Expert's move time from the strength harness.

Each BUILD is LABEL=DIR, DIR a build folder holding bin/tilewhirl-host,
bin/tilewhirl and, where it exists, bin/tilewhirl-strength. Every host and
window starts in a fresh empty folder, as on a first start, and the builds
take turns run by run, so that a busy machine slows them alike.

Usage: bench/start_cost.py [--runs N] [--turns N] [--level LEVEL] [--games N]
                           [--skip listen,memory,window,moves]
                           LABEL=DIR [LABEL=DIR ...]
The window needs an X display: DISPLAY, or Xvfb is started on :97.
"""
import argparse
import ctypes
import os
import re
import select
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from game_wire import TERMINATOR, messages  # noqa: E402


def median(values):
    return statistics.median(values) if values else float("nan")


def levels_of(build):
    text = subprocess.run([build + "/bin/tilewhirl-host", "--help"], capture_output=True, text=True).stdout
    return ["beginner", "club", "expert"] if "--computer-level" in text else [None]


def start_host(build, level, cwd):
    args = [os.path.abspath(build + "/bin/tilewhirl-host"), "--port", "0", "--bot-speed", "fast"]
    if level:
        args += ["--computer-level", level]
    began = time.perf_counter()
    host = subprocess.Popen(args, stderr=subprocess.PIPE, stdout=subprocess.DEVNULL, cwd=cwd)
    while True:
        line = host.stderr.readline().decode("latin-1")
        if not line:
            host.kill()
            sys.exit("%s did not start listening" % args[0])
        found = re.search(r"listening on port (\d+)", line)
        if found:
            return host, int(found.group(1)), time.perf_counter() - began


def stop(process):
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def smaps(pid):
    out = {}
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 3 and parts[-1] == "kB":
                out[parts[0].rstrip(":")] = int(parts[1]) / 1024.0
    out["Private"] = out.get("Private_Clean", 0) + out.get("Private_Dirty", 0)
    return out


def play_turns(port, turns, done):
    """Takes seat 1, starts a game against the computer, passes its own
    turns, and sets `done` once the computer has played `turns` turns."""
    sock = socket.create_connection(("127.0.0.1", port), timeout=120)
    seat = None
    played = 0

    def send(text):
        sock.sendall(text.encode("latin-1") + TERMINATOR)

    try:
        for message in messages(sock):
            name, _, body = message.partition("+")
            if name == "CMD_sendlogininfo":
                seat = body
                send("CMD_logininfo+%s+1.0.4+Bench" % seat)
                send("CMD_startgame+Bench+2000+60+f+1+0+")
            elif name == "CMD_nextplayer":
                if body.split("+")[0] == seat:
                    played += 1
                    if played > turns:
                        done.set()
                    send("CMD_hepass+%s+" % seat)
            elif name == "CMD_winner":
                done.set()
    except OSError:
        done.set()


def measure_listen(builds, runs):
    times = {}
    for run in range(runs):
        for label, build in builds:
            for level in levels_of(build):
                with tempfile.TemporaryDirectory() as cwd:
                    host, _, elapsed = start_host(build, level, cwd)
                    stop(host)
                times.setdefault((label, level), []).append(elapsed * 1000)
    for (label, level), values in times.items():
        print("listen  %-18s level %-8s median %6.1f ms  max %6.1f ms  (%d runs)" %
              (label, level or "(none)", median(values), max(values), len(values)))


def measure_memory(builds, turns, wanted, count=4):
    for label, build in builds:
        level = wanted if wanted in levels_of(build) else None
        folders = [tempfile.mkdtemp() for _ in range(count)]
        hosts = []
        try:
            for cwd in folders:
                host, port, _ = start_host(build, level, cwd)
                done = threading.Event()
                threading.Thread(target=play_turns, args=(port, turns, done), daemon=True).start()
                hosts.append((host, done))
            for _, done in hosts:
                done.wait(300)
            rows = [smaps(host.pid) for host, _ in hosts]
            print("memory  %-18s %d hosts at %-8s after %d computer turns each: private %s MiB, "
                  "PSS %s MiB, resident %s MiB" %
                  (label, count, level or "(none)", turns,
                   " ".join("%.1f" % r["Private"] for r in rows),
                   " ".join("%.1f" % r["Pss"] for r in rows),
                   " ".join("%.1f" % r["Rss"] for r in rows)))
        finally:
            for host, _ in hosts:
                stop(host)
            for cwd in folders:
                shutil.rmtree(cwd, ignore_errors=True)


class MapWatch:
    """Tells when a top-level window is mapped on the display (a MapNotify
    on the root window), through libX11."""
    MAP_NOTIFY = 19
    SUBSTRUCTURE_NOTIFY = 1 << 19

    def __init__(self, display):
        self.x = ctypes.CDLL("libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        for f in ("XFlush", "XPending", "XConnectionNumber"):
            getattr(self.x, f).argtypes = [ctypes.c_void_p]
        self.x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        self.d = self.x.XOpenDisplay(display.encode())
        if not self.d:
            sys.exit("cannot open display %s" % display)
        self.x.XSelectInput(self.d, self.x.XDefaultRootWindow(self.d), self.SUBSTRUCTURE_NOTIFY)
        self.x.XFlush(self.d)
        self.fd = self.x.XConnectionNumber(self.d)

    def drain(self):
        event = (ctypes.c_long * 24)()
        mapped = False
        while self.x.XPending(self.d):
            self.x.XNextEvent(self.d, ctypes.byref(event))
            # XMapEvent: type, serial, send_event, display, event, window, override_redirect
            if event[0] & 0xFFFFFFFF == self.MAP_NOTIFY and event[6] & 0xFFFFFFFF == 0:
                mapped = True
        return mapped

    def wait_mapped(self, timeout):
        deadline = time.perf_counter() + timeout
        while time.perf_counter() < deadline:
            if self.drain():
                return True
            select.select([self.fd], [], [], 0.005)
        return False


def measure_window(builds, runs, display):
    watch = MapWatch(display)
    times = {}
    memory = {}
    for run in range(runs):
        for label, build in builds:
            with tempfile.TemporaryDirectory() as home:
                env = dict(os.environ, DISPLAY=display, HOME=home, QT_QPA_PLATFORM="xcb",
                           XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data")
                watch.drain()
                began = time.perf_counter()
                window = subprocess.Popen([os.path.abspath(build + "/bin/tilewhirl"), "--new-instance"],
                                          cwd=home, env=env, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL)
                mapped = watch.wait_mapped(20)
                elapsed = time.perf_counter() - began
                time.sleep(1.5)  # the solo game's host listens and the window joins it
                rows = smaps(window.pid)
                stop(window)
            if mapped:
                times.setdefault(label, []).append(elapsed)
                memory.setdefault(label, []).append((rows["Rss"], rows["Private"]))
    for label, values in times.items():
        rss = [m[0] for m in memory[label]]
        private = [m[1] for m in memory[label]]
        print("window  %-18s visible median %.3f s  range %.3f-%.3f s; resident median %.1f MiB, "
              "private %.1f MiB  (%d runs)" %
              (label, median(values), min(values), max(values), median(rss), median(private), len(values)))


def measure_moves(builds, games):
    for label, build in builds:
        harness = build + "/bin/tilewhirl-strength"
        if not os.path.exists(harness):
            print("moves   %-18s (no strength harness: no Expert in this build)" % label)
            continue
        out = subprocess.run([harness, "--games", str(games), "--pair", "expert:beginner"],
                             capture_output=True, text=True).stdout
        for line in out.splitlines():
            if line.strip().lower().startswith("expert"):
                found = re.search(r"search median\s+([\d.]+) ms\s+p99\s+([\d.]+) ms", line)
                if found:
                    print("moves   %-18s Expert search median %s ms  p99 %s ms  (%d games)" %
                          (label, found.group(1), found.group(2), games))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("builds", nargs="+", metavar="LABEL=DIR")
    parser.add_argument("--runs", type=int, default=15, help="starts per build (default 15)")
    parser.add_argument("--turns", type=int, default=5, help="computer turns before memory is read")
    parser.add_argument("--level", default="expert", help="the computer's level for the memory figures")
    parser.add_argument("--games", type=int, default=100, help="strength harness games for move times")
    parser.add_argument("--skip", default="", help="comma-separated: listen,memory,window,moves")
    args = parser.parse_args()
    builds = [tuple(b.split("=", 1)) for b in args.builds]
    skip = set(filter(None, args.skip.split(",")))

    if "listen" not in skip:
        measure_listen(builds, args.runs)
    if "memory" not in skip:
        measure_memory(builds, args.turns, args.level)
    if "window" not in skip:
        xvfb = None
        display = os.environ.get("DISPLAY")
        if not display:
            display = ":97"
            xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(1)
        try:
            measure_window(builds, args.runs, display)
        finally:
            if xvfb:
                stop(xvfb)
    if "moves" not in skip:
        measure_moves(builds, args.games)


if __name__ == "__main__":
    main()
