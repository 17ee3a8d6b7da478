"""The game's wire as the measuring scripts speak it: connecting to a host
that may still be starting, and reading its messages."""

import socket
import time

TERMINATOR = b"\xff"


def connect(port, source=None, rcvbuf=None, timeout=None, wait=5.0):
    """A connection to the host on 127.0.0.1:port, tried again until it
    listens or `wait` seconds have passed."""
    deadline = time.time() + wait
    while True:
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if source:
            s.bind((source, 0))
        if rcvbuf:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
        try:
            s.connect(("127.0.0.1", port))
            if timeout is not None:
                s.settimeout(timeout)
            return s
        except ConnectionRefusedError:
            s.close()
            if time.time() > deadline:
                raise
            time.sleep(0.1)


def messages(sock):
    """Each message the host sends, as text, until it closes."""
    buffer = b""
    while True:
        data = sock.recv(65536)
        if not data:
            return
        buffer += data
        while TERMINATOR in buffer:
            message, buffer = buffer.split(TERMINATOR, 1)
            yield message.decode("latin-1")
