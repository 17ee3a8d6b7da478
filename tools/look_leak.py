#!/usr/bin/env python3
"""Counts what a stranger learns by taking the computer's empty seat while it
looks at the whole board.

Ann takes seat 1 of a tilewhirl-host and starts a game in which every turn
begins with a look (Sneak Peek), then passes. A second plain client connects
at once, so it sits in seat 2 when the computer's look is given, and logs in
after the look. It prints how many letters of cells that nobody had seen
turned up the stranger was told (a fair host tells none).

Usage: tools/look_leak.py [--host BINARY] [--port N]   (after tools/build.sh)
"""
import argparse
import socket
import subprocess
import time

END = b"\xff"


class Client:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.sock.settimeout(0.05)
        self.buffer = b""
        self.got = []

    def say(self, text):
        self.sock.sendall(text.encode("latin-1") + END)

    def pump(self):
        try:
            data = self.sock.recv(65536)
        except socket.timeout:
            return
        self.buffer += data
        *whole, self.buffer = self.buffer.split(END)
        self.got += [m.decode("latin-1") for m in whole]

    def wait_for(self, prefix, seconds=30):
        end = time.time() + seconds
        while time.time() < end:
            if any(m.startswith(prefix) for m in self.got):
                return True
            self.pump()
        return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="build/bin/tilewhirl-host")
    parser.add_argument("--port", type=int, default=7795)
    args = parser.parse_args()
    host = subprocess.Popen([args.host, "--port", str(args.port)], stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):  # the host writes its word list first
            try:
                ann = Client(args.port)
                break
            except ConnectionRefusedError:
                time.sleep(0.1)
        ann.say("CMD_logininfo+1+1.0.4+Ann")
        ann.say("CMD_startgame+Ann+100+60+f+3+0+")
        ann.wait_for("CMD_nextplayer+1+")
        ann.say("CMD_hepass+1+")
        ann.wait_for("CMD_hepasses+1+")
        mal = Client(args.port)
        ann.wait_for("CMD_nextplayer+2+")
        mal.say("CMD_logininfo+2+1.0.4+Mal")
        end = time.time() + 2
        while time.time() < end:
            mal.pump()
            ann.pump()
        flipped = set()
        for m in ann.got:
            if m.startswith("CMD_heflip+"):
                f = m.split("+")
                flipped.add((f[2], f[3]))
        learned = set()
        for m in mal.got:
            if m.startswith("CMD_theboard+"):
                f = m.split("+")[1:]
                for i in range(0, len(f) - 2, 3):
                    if f[i + 2] != "0" and (f[i], f[i + 1]) not in flipped:
                        learned.add((f[i], f[i + 1]))
        print(f"{args.host}: the stranger in seat 2 was told {len(learned)} of 80 letters "
              f"of cells nobody had seen turned up")
    finally:
        host.terminate()
        host.wait()


if __name__ == "__main__":
    main()
