#!/usr/bin/env python3
"""Measures what a flooding peer makes the dedicated host do.

Scenarios (--scenario, default all):
  chat   A seat logs in and sends 60,000-byte chat lines as fast as the host
         relays them (it reads its own echoes); a second seat, a socket with a
         4 KiB receive buffer, logs in and never reads. Prints the host's
         resident memory each second, its peak, and whether the host dropped
         the silent seat.
  name   A seat logs in with a 65,000-byte name and sends short chat lines at
         about 1.2 KB/s; another seat reads at 2 MB/s. Prints the bytes the
         reader was sent a second and whether (and why) the host dropped it.
  queue  Eight peers log in and each sends 255 chat lines of 64,000 bytes
         without pause. Prints the host's peak resident memory and how many
         of the eight it closed.
  refused  Nine connections hold every seat; a tenth address connects again
         and again. Prints the connections made and the bytes the host logged.

Usage: tools/measure_flood.py [--host BINARY] [--port N] [--seconds S]
                              [--scenario chat|name|queue|refused|all]
(after ./test or tools/build.sh)
"""
import argparse
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

from game_wire import TERMINATOR, connect


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Chatter:
    """Logs in as seat 1 and counts the chat lines that come back."""

    def __init__(self, port):
        self.sock = connect(port)
        self.echoes = 0
        self.buffer = b""
        self.lock = threading.Condition()
        self.closed = False
        threading.Thread(target=self.read, daemon=True).start()
        self.send(b"CMD_logininfo+1+1.0.4+Flood")

    def send(self, message):
        self.sock.sendall(message + TERMINATOR)

    def read(self):
        while True:
            try:
                data = self.sock.recv(1 << 20)
            except OSError:
                data = b""
            if not data:
                with self.lock:
                    self.closed = True
                    self.lock.notify_all()
                return
            self.buffer += data
            *messages, self.buffer = self.buffer.split(TERMINATOR)
            with self.lock:
                self.echoes += sum(m.startswith(b"CMD_chat+1+") for m in messages)
                self.lock.notify_all()


def start_host(args):
    workdir = tempfile.mkdtemp(prefix="tw_flood_")
    log_path = os.path.join(workdir, "host.log")
    with open(log_path, "wb") as log:
        host = subprocess.Popen([os.path.abspath(args.host), "--port", str(args.port)], cwd=workdir,
                                stderr=log, stdout=subprocess.DEVNULL)
    time.sleep(0.5)
    return host, log_path


def log_lines(log_path, text):
    with open(log_path, errors="replace") as f:
        return [l.strip() for l in f if text in l]


def scenario_name(args):
    """A long name turns each short chat line into a long one for every seat."""
    host, log_path = start_host(args)
    try:
        reader = connect(args.port, rcvbuf=65536)
        reader.sendall(b"CMD_logininfo+1+1.0.4+Reader" + TERMINATOR)
        time.sleep(0.2)
        flooder = connect(args.port)
        flooder.sendall(b"CMD_logininfo+2+1.0.4+" + b"N" * 65000 + TERMINATOR)
        threading.Thread(target=lambda: drain(flooder), daemon=True).start()
        time.sleep(0.3)
        received = [0]
        closed = [False]

        def read_at_2mb():
            began = time.time()
            while True:
                try:
                    data = reader.recv(65536)
                except OSError:
                    data = b""
                if not data:
                    closed[0] = True
                    return
                received[0] += len(data)
                # No faster than 2 MB/s.
                ahead = received[0] / 2e6 - (time.time() - began)
                if ahead > 0:
                    time.sleep(ahead)

        threading.Thread(target=read_at_2mb, daemon=True).start()
        line = b"CMD_chat+2+hi there|clBlack" + TERMINATOR  # 28 bytes
        began = time.time()
        start_bytes = received[0]
        sent = 0
        flooder_cut = None
        while time.time() - began < args.seconds and not closed[0]:
            try:
                flooder.sendall(line)
            except OSError:
                flooder_cut = time.time() - began
                break
            sent += len(line)
            time.sleep(len(line) / 1200)  # 1.2 KB/s
        took = time.time() - began
        print(f"name: flooder sent {sent} bytes in {took:.1f} s ({sent / took:.0f} B/s); "
              f"reader was sent {(received[0] - start_bytes) / took / 1e6:.3f} MB/s; "
              + (f"reader dropped after {took:.1f} s" if closed[0] else "reader still connected")
              + (f"; flooder closed by the host after {flooder_cut:.1f} s" if flooder_cut else ""))
    finally:
        host.terminate()
        host.wait()
    for l in log_lines(log_path, "closing"):
        print("host log: " + l)
    return 0


def drain(sock):
    while True:
        try:
            if not sock.recv(1 << 20):
                return
        except OSError:
            return


def scenario_queue(args):
    """Eight peers fill their receive queues with long messages."""
    host, log_path = start_host(args)
    try:
        first = connect(args.port)
        first.sendall(b"CMD_logininfo+1+1.0.4+Ann" + TERMINATOR)
        threading.Thread(target=lambda: drain(first), daemon=True).start()
        time.sleep(0.2)
        start_rss = rss_kib(host.pid)
        peers = []
        for n in range(2, 10):
            s = connect(args.port)
            s.sendall(f"CMD_logininfo+{n}+1.0.4+P{n}".encode() + TERMINATOR)
            threading.Thread(target=lambda s=s: drain(s), daemon=True).start()
            peers.append((n, s))
        time.sleep(0.3)
        closed = [0]

        def flood(n, s):
            line = f"CMD_chat+{n}+".encode() + b"x" * 64000 + b"|clBlack" + TERMINATOR
            try:
                for _ in range(255):
                    s.sendall(line)
            except OSError:
                closed[0] += 1

        threads = [threading.Thread(target=flood, args=p, daemon=True) for p in peers]
        for t in threads:
            t.start()
        peak = start_rss
        began = time.time()
        while time.time() - began < min(args.seconds, 10):
            peak = max(peak, rss_kib(host.pid))
            time.sleep(0.05)
        print(f"queue: host {start_rss / 1024:.1f} MiB before, peak {peak / 1024:.1f} MiB "
              f"(+{(peak - start_rss) / 1024:.1f} MiB) while eight peers flood")
    finally:
        host.terminate()
        host.wait()
    dropped = log_lines(log_path, "waiting")
    print(f"host log: {len(dropped)} of 8 closed" + (": " + dropped[0] if dropped else ""))
    return 0


def scenario_refused(args):
    """Connections refused by a full host, as fast as they can be made."""
    host, log_path = start_host(args)
    try:
        seats = []
        for n in range(1, 10):
            s = connect(args.port)
            s.sendall(f"CMD_logininfo+{n}+1.0.4+S{n}".encode() + TERMINATOR)
            threading.Thread(target=lambda s=s: drain(s), daemon=True).start()
            seats.append(s)
            time.sleep(0.1)
        time.sleep(0.3)
        before = os.path.getsize(log_path)
        made = 0
        began = time.time()
        while time.time() - began < min(args.seconds, 10):
            s = connect(args.port)
            made += 1
            s.close()
        took = time.time() - began
        time.sleep(0.5)
        logged = os.path.getsize(log_path) - before
        print(f"refused: {made} connections in {took:.1f} s; the host logged {logged} bytes "
              f"({log_lines(log_path, 'refused').__len__()} lines on refusals)")
        for s in seats:
            s.close()
    finally:
        host.terminate()
        host.wait()
    return 0


def scenario_chat(args):
    host, log_path = start_host(args)
    try:
        chatter = Chatter(args.port)
        time.sleep(0.2)
        mute = connect(args.port, rcvbuf=4096)
        mute.sendall(b"CMD_logininfo+2+1.0.4+Mute" + TERMINATOR)
        time.sleep(0.5)
        start_rss = rss_kib(host.pid)
        print(f"host resident memory before the flood: {start_rss / 1024:.1f} MiB")

        line = b"CMD_chat+1+" + b"x" * 60000 + b"|clBlack"
        sent = 0
        peak = start_rss
        began = time.time()
        next_sample = began + 1
        while time.time() - began < args.seconds and not chatter.closed:
            # A few lines ahead of the echoes: as fast as the host relays them.
            with chatter.lock:
                chatter.lock.wait_for(lambda: chatter.closed or sent - chatter.echoes < 20, timeout=1)
            if sent - chatter.echoes < 20:
                try:
                    chatter.send(line)
                except OSError:
                    print(f"  the host closed the flooder after {time.time() - began:.1f} s")
                    break
                sent += 1
            if time.time() >= next_sample:
                rss = rss_kib(host.pid)
                peak = max(peak, rss)
                print(f"  {next_sample - began:4.0f} s: {sent} lines sent, host {rss / 1024:.1f} MiB")
                next_sample += 1
        rss = rss_kib(host.pid)
        peak = max(peak, rss)
        print(f"after {args.seconds} s: {sent} lines of 60,000 bytes, {chatter.echoes} relayed back; "
              f"host {rss / 1024:.1f} MiB, peak {peak / 1024:.1f} MiB")
        mute.close()
    finally:
        host.terminate()
        host.wait()
    with open(log_path, errors="replace") as f:
        dropped = [l.strip() for l in f if "closing" in l]
    print("host log: " + ("; ".join(dropped) if dropped else "nobody was dropped"))
    return 0


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--host", default=os.path.join(root, "build", "bin", "tilewhirl-host"))
    parser.add_argument("--port", type=int, default=7791)
    parser.add_argument("--seconds", type=int, default=20)
    parser.add_argument("--scenario", choices=["chat", "name", "queue", "refused", "all"], default="all")
    args = parser.parse_args()
    for name, run in (("chat", scenario_chat), ("name", scenario_name), ("queue", scenario_queue),
                      ("refused", scenario_refused)):
        if args.scenario in (name, "all"):
            run(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
