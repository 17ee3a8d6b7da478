#!/usr/bin/env python3
"""Measures the dedicated host's memory while one player floods the chat with
the longest lines the host passes and another peer never reads.

A seat logs in and sends 60,000-byte chat lines as fast as the host relays
them (it reads its own echoes); a second seat, a socket with a 4 KiB receive
buffer, logs in and never reads. Prints the host's resident memory each
second, its peak, and whether the host dropped the silent seat.

Usage: tools/measure_flood.py [--host BINARY] [--port N] [--seconds S]
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

TERMINATOR = b"\xff"


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def connect(port, rcvbuf=None):
    deadline = time.time() + 5
    while True:
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if rcvbuf:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
        try:
            s.connect(("127.0.0.1", port))
            return s
        except ConnectionRefusedError:
            s.close()
            if time.time() > deadline:
                raise
            time.sleep(0.1)


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


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--host", default=os.path.join(root, "build", "bin", "tilewhirl-host"))
    parser.add_argument("--port", type=int, default=7791)
    parser.add_argument("--seconds", type=int, default=20)
    args = parser.parse_args()

    workdir = tempfile.mkdtemp(prefix="tw_flood_")
    log_path = os.path.join(workdir, "host.log")
    with open(log_path, "wb") as log:
        host = subprocess.Popen([os.path.abspath(args.host), "--port", str(args.port)], cwd=workdir,
                                stderr=log, stdout=subprocess.DEVNULL)
    try:
        time.sleep(0.5)
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
                chatter.send(line)
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
        dropped = [l.strip() for l in f if "seat 2:" in l and "closing" in l]
    print("host log: " + (dropped[0] if dropped else "the silent seat was never dropped"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
