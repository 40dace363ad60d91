#!/usr/bin/python3
"""Scripted TCP peer for the transport's tests: faults that real servers never make.

Usage: scripted_peer.py SCRIPT_JSON [TIME_LIMIT_SECONDS]
Listens on 127.0.0.1 (a free port, printed as the first line of standard output), accepts one
connection and plays the script, a JSON list of steps, each a one-key object:
  {"expect": "text"}      read one line (CR LF, LF or CR ended) and check it equals text
  {"read": n}             read and discard n lines
  {"reply": "text"}       send text followed by CR LF
  {"raw": "hex"}          send these bytes as they are
  {"rawsplit": ["hex", "hex"]}  send each piece as its own packet, 50 ms apart
  {"starttls": ["cert", "key"]} switch to TLS as the server, with these PEM files
  {"closenotify": true}   send the TLS close_notify and go on in clear on the same connection
                          (later "raw" and "reply" steps go out as plain bytes after it)
  {"readbytes": n}        read and discard up to n raw bytes (e.g. a client's first TLS flight)
  {"alert": n}            send a fatal TLS alert record with description n
  {"bigreply": [code, lines, length]}  send a reply of that many lines of length bytes each
  {"stall": seconds}      do nothing for that long
  {"gone": ["path", s]}   wait up to s seconds for the file at path to be deleted (the client's
                          doing); fails when it is still there
  {"sink": true}          read and discard until the client closes; report the byte count
  {"data": true}          read message lines up to the line "." (the client must not close first)
  {"nodot": true}         read until the client closes; a line "." fails the script
  {"close": true}         close the connection
Every mismatch, time-out or error ends the peer with a line on standard error and exit code 1.
The whole run is bounded by TIME_LIMIT_SECONDS (default 30).
"""
import json
import os
import socket
import ssl
import sys
import time


class TLSConnection:
    """A server-side TLS session over a connected socket through memory BIOs, so that the TLS
    layer can be left (close_notify) while the connection stays open."""

    def __init__(self, raw, context):
        self.raw = raw
        self.incoming = ssl.MemoryBIO()
        self.outgoing = ssl.MemoryBIO()
        self.tls = context.wrap_bio(self.incoming, self.outgoing, server_side=True)
        while True:
            try:
                self.tls.do_handshake()
                break
            except ssl.SSLWantReadError:
                self._flush()
                if not self._fill():
                    raise EOFError("client closed during the handshake")
        self._flush()

    def _flush(self):
        data = self.outgoing.read()
        if data:
            self.raw.sendall(data)

    def _fill(self):
        data = self.raw.recv(65536)
        if not data:
            self.incoming.write_eof()
            return False
        self.incoming.write(data)
        return True

    def settimeout(self, seconds):
        self.raw.settimeout(seconds)

    def recv(self, count):
        while True:
            try:
                return self.tls.read(count)
            except ssl.SSLWantReadError:
                self._flush()
                if not self._fill():
                    return b""
            except (ssl.SSLZeroReturnError, ssl.SSLEOFError):
                return b""

    def sendall(self, data):
        self.tls.write(data)
        self._flush()

    def close_notify(self):
        """Sends the close_notify and hands back the plain socket."""
        try:
            self.tls.unwrap()
        except ssl.SSLWantReadError:
            pass
        self._flush()
        return self.raw

    def close(self):
        self.raw.close()


def main():
    script = json.loads(sys.argv[1])
    limit = float(sys.argv[2]) if len(sys.argv) > 2 else 30.0
    deadline = time.monotonic() + limit
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(1)
    print(server.getsockname()[1], flush=True)
    server.settimeout(max(0.1, deadline - time.monotonic()))
    conn, _ = server.accept()
    server.close()
    pending = b""

    def remaining():
        left = deadline - time.monotonic()
        if left <= 0:
            raise TimeoutError("time limit reached")
        return left

    def read_line():
        nonlocal pending
        while True:
            for i, byte in enumerate(pending):
                if byte in (10, 13):
                    line = pending[:i]
                    end = i + 1
                    if byte == 13 and end < len(pending) and pending[end] == 10:
                        end += 1
                    pending = pending[end:]
                    return line.decode("latin-1")
            conn.settimeout(remaining())
            data = conn.recv(65536)
            if not data:
                raise EOFError("client closed")
            pending += data

    for step in script:
        kind, value = next(iter(step.items()))
        if kind == "expect":
            line = read_line()
            if line != value:
                raise ValueError("expected %r, got %r" % (value, line))
        elif kind == "read":
            for _ in range(int(value)):
                read_line()
        elif kind == "reply":
            conn.sendall(value.encode("latin-1") + b"\r\n")
        elif kind == "raw":
            conn.sendall(bytes.fromhex(value))
        elif kind == "rawsplit":
            for piece in value:
                conn.sendall(bytes.fromhex(piece))
                time.sleep(0.05)
        elif kind == "readbytes":
            conn.settimeout(remaining())
            conn.recv(int(value))
        elif kind == "bigreply":
            code, count, length = int(value[0]), int(value[1]), int(value[2])
            body = b"x" * max(0, length - 4)
            for index in range(count):
                separator = b" " if index == count - 1 else b"-"
                conn.sendall(b"%d" % code + separator + body + b"\r\n")
        elif kind == "alert":
            conn.sendall(bytes([0x15, 0x03, 0x03, 0x00, 0x02, 0x02, int(value)]))
        elif kind == "starttls":
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(value[0], value[1])
            conn.settimeout(remaining())
            conn = TLSConnection(conn, context)
        elif kind == "closenotify":
            conn = conn.close_notify()
        elif kind == "stall":
            time.sleep(min(float(value), remaining()))
        elif kind == "gone":
            path, until = value[0], time.monotonic() + min(float(value[1]), remaining())
            while os.path.lexists(path):
                if time.monotonic() >= until:
                    raise TimeoutError("%s is still there" % path)
                time.sleep(0.005)
        elif kind == "sink":
            total = 0
            conn.settimeout(remaining())
            while True:
                data = conn.recv(1 << 20)
                if not data:
                    break
                total += len(data)
            print(total, flush=True)
        elif kind == "data":
            while read_line() != ".":
                pass
        elif kind == "nodot":
            try:
                while True:
                    if read_line() == ".":
                        raise ValueError("the client ended a message it broke off")
            except (EOFError, ConnectionResetError):
                pass
        elif kind == "close":
            conn.close()
            return 0
        else:
            raise ValueError("unknown step %r" % kind)
    conn.close()
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Exception as error:  # every failure ends the peer with its reason
        print("scripted_peer: %s" % error, file=sys.stderr, flush=True)
        sys.exit(1)
