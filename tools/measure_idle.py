#!/usr/bin/env python3
"""Shows what nine idle sockets from one address do to the dedicated host.

Starts the host, opens nine sockets from 127.0.0.2 that never log in, then
logs in a player from 127.0.0.1, and prints what each connection got: a seat
("CMD_sendlogininfo"), or "CMD_full+" and a close. Loopback only; takes a few
seconds.

Usage: tools/measure_idle.py [--host BINARY] [--port N] [--idle N]
(after ./test or tools/build.sh; 127.0.0.2 is loopback on Linux)
"""
import argparse
import os
import socket
import subprocess
import sys
import tempfile
import time

from game_wire import TERMINATOR, connect


def answer(s, until=None):
    """The messages the host sent within a second (or up to one starting with
    `until`), and whether it closed the connection."""
    data = b""
    deadline = time.time() + 1.0
    while time.time() < deadline:
        try:
            chunk = s.recv(4096)
        except socket.timeout:
            break
        if not chunk:
            return [m.decode("latin-1") for m in data.split(TERMINATOR) if m], True
        data += chunk
        if until and until.encode() in data:
            break
        if not until and TERMINATOR in data:
            # Long enough to see a close that follows the message.
            deadline = min(deadline, time.time() + 0.2)
    return [m.decode("latin-1") for m in data.split(TERMINATOR) if m], False


def describe(messages, closed):
    return ", ".join(messages) + (" and closed" if closed else "") if messages or closed else "nothing"


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--host", default=os.path.join(root, "build", "bin", "tilewhirl-host"))
    parser.add_argument("--port", type=int, default=7792)
    parser.add_argument("--idle", type=int, default=9, help="idle sockets from 127.0.0.2 (at most 50)")
    args = parser.parse_args()

    workdir = tempfile.mkdtemp(prefix="tw_idle_")
    log_path = os.path.join(workdir, "host.log")
    with open(log_path, "wb") as log:
        host = subprocess.Popen([os.path.abspath(args.host), "--port", str(args.port)], cwd=workdir,
                                stderr=log, stdout=subprocess.DEVNULL)
    idle = []
    try:
        time.sleep(0.5)
        for n in range(1, min(args.idle, 50) + 1):
            s = connect(args.port, "127.0.0.2", timeout=1.0)
            idle.append(s)
            print(f"idle socket {n} from 127.0.0.2: {describe(*answer(s))}")
        player = connect(args.port, "127.0.0.1", timeout=1.0)
        messages, closed = answer(player)
        seat = next((m.split("+")[1] for m in messages if m.startswith("CMD_sendlogininfo+")), None)
        if seat and not closed:
            player.sendall(f"CMD_logininfo+{seat}+1.0.4+Ann".encode() + TERMINATOR)
            more, closed = answer(player, until="CMD_newplayerinfo+")
            messages += more
        print(f"player Ann from 127.0.0.1: {describe(messages, closed)}")
        print("Ann " + (f"plays in seat {seat}" if seat and not closed else "is kept out"))
        player.close()
    finally:
        for s in idle:
            s.close()
        host.terminate()
        host.wait()
    with open(log_path, errors="replace") as f:
        lines = [line.rstrip() for line in f if "refused" in line]
    print(f"host log: {len(lines)} refusal line(s)" + (f", first: {lines[0]}" if lines else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
