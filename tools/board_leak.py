#!/usr/bin/env python3
"""Plays one game against tilewhirl-host as a plain client that never turns a
cell over, and counts what it is told of the board.

The client takes seat 1, starts a game against the computer (seat 2), and
passes every turn of its own, so every cell it sees turned up is turned up by
the computer in view of everyone. A letter counts as learned early when a
"CMD_theboard" gives the code (not 0) of a cell it lays (at the start, a
refill) and so of a cell that nobody has turned over; a one-group
"CMD_theboard" followed at once by the "CMD_heflip" of that cell is the
letter of a flip, not a leak.

Prints a summary, and with --log every message received.

Usage: tools/board_leak.py [--host BINARY] [--play-to N] [--mode 1|2|3]
                           [--log FILE] [-- extra host options, e.g. --open-board]
(after ./test or tools/build.sh)
"""
import argparse
import collections
import os
import re
import socket
import subprocess
import sys
import time

from game_wire import TERMINATOR, messages


def start_host(binary, extra):
    host = subprocess.Popen([os.path.abspath(binary), "--port", "0", "--bot-speed", "fast"] + extra,
                            stderr=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            cwd=os.environ.get("TMPDIR", "/tmp"))
    deadline = time.time() + 10
    while time.time() < deadline:
        line = host.stderr.readline().decode("latin-1")
        found = re.search(r"listening on port (\d+)", line)
        if found:
            return host, int(found.group(1))
    host.kill()
    sys.exit("tilewhirl-host did not start listening")


def groups(body, size):
    fields = body.split("+")
    while fields and fields[-1] == "":
        fields.pop()
    return [fields[i:i + size] for i in range(0, len(fields) - size + 1, size)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--host", default="build/bin/tilewhirl-host")
    parser.add_argument("--play-to", type=int, default=100)
    parser.add_argument("--mode", default="1", choices=["1", "2", "3"])
    parser.add_argument("--log", help="write every message received to this file")
    parser.add_argument("extra", nargs="*", help="options passed on to the host")
    args = parser.parse_args()

    host, port = start_host(args.host, args.extra)
    log = open(args.log, "w", encoding="latin-1") if args.log else None
    counts = collections.Counter()
    face_up = set()     # cells turned up in the running turn
    early = 0           # letters of hidden cells told
    early_cells = set()
    flips = 0
    flips_told_first = 0
    pending = None      # a one-group board message waiting to see whether a flip follows
    turns = 0
    started = time.time()
    try:
        sock = socket.create_connection(("127.0.0.1", port), timeout=120)
        seat = None

        def send(text):
            sock.sendall(text.encode("latin-1") + TERMINATOR)

        def settle_board(cells, flipped_next):
            nonlocal early
            for x, y, code in cells:
                key = (x, y)
                if flipped_next == key:
                    continue
                # Anything else is a laid cell (the start, a refill): face down, a new letter.
                face_up.discard(key)
                if code != "0":
                    early += 1
                    early_cells.add(key)

        for message in messages(sock):
            if log:
                log.write(message + "\n")
            name, _, body = message.partition("+")
            counts[name] += 1
            if pending is not None:
                cells = pending
                pending = None
                nxt = None
                if name == "CMD_heflip":
                    f = body.split("+")
                    nxt = (f[1], f[2])
                    if len(cells) == 1 and (cells[0][0], cells[0][1]) == nxt and cells[0][2] != "0":
                        flips_told_first += 1
                settle_board(cells, nxt)
            if name == "CMD_sendlogininfo":
                seat = body
                send("CMD_logininfo+%s+1.0.4+Leaky" % seat)
                send("CMD_startgame+Leaky+%d+60+f+%s+0+" % (args.play_to, args.mode))
            elif name == "CMD_theboard":
                pending = [tuple(g) for g in groups(body, 3)]
            elif name == "CMD_heflip":
                f = body.split("+")
                face_up.add((f[1], f[2]))
                flips += 1
            elif name == "CMD_nextplayer":
                face_up.clear()
                turns += 1
                if body.split("+")[0] == seat:
                    send("CMD_hepass+%s+" % seat)
            elif name == "CMD_winner":
                break
    finally:
        host.terminate()
        host.wait()
        if log:
            log.close()

    print("host: %s %s" % (args.host, " ".join(args.extra)))
    print("game: play to %d, mode %s, %d turns, %.0f s" % (args.play_to, args.mode, turns,
                                                          time.time() - started))
    print("messages: " + ", ".join("%s %d" % kv for kv in sorted(counts.items())))
    print("cells turned over (CMD_heflip): %d, of which the letter came just before: %d" %
          (flips, flips_told_first))
    print("letters told of cells nobody had turned over: %d (%d distinct cells)" %
          (early, len(early_cells)))


if __name__ == "__main__":
    main()
