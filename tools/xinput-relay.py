#!/usr/bin/env python3
"""Real X input for tests that run under Wine: a Windows test program cannot start xdotool
itself, so it asks this relay over a loopback socket.

    xinput-relay.py --port-file FILE

Listens on 127.0.0.1 (an ephemeral port, written to FILE) and serves one line-based
session per connection. The first line names the X display ("display :N"); then each line
is one command, answered "ok" or "error":

    mousemove X Y     move the pointer to root coordinates X, Y
    click B           press and release mouse button B (1 to 3)
    mousedown B       press mouse button B; mouseup B releases it
    key NAME          press and release one key by its X key name (space, Tab, Return, a, ...)

Only these commands, with plain numbers and key names, are passed on (as an argument list,
never through a shell). Runs until SIGTERM or until its parent dies.
"""
import argparse
import os
import re
import socket
import subprocess
import threading

MAX_LINE = 200
COMMAND_TIMEOUT = 10
DISPLAY = re.compile(r"^:\d{1,4}$")
NUMBER = re.compile(r"^-?\d{1,5}$")
KEY = re.compile(r"^[A-Za-z0-9_]{1,32}$")


def command_args(words):
    if len(words) == 3 and words[0] == "mousemove" and NUMBER.match(words[1]) and NUMBER.match(words[2]):
        return ["mousemove", words[1], words[2]]
    if len(words) == 2 and words[0] in ("click", "mousedown", "mouseup") and words[1] in ("1", "2", "3"):
        return [words[0], words[1]]
    if len(words) == 2 and words[0] == "key" and KEY.match(words[1]):
        return ["key", words[1]]
    return None


def serve(conn):
    display = None
    reader = conn.makefile("rb")
    with conn:
        while True:
            line = reader.readline(MAX_LINE + 1)
            if not line or len(line) > MAX_LINE:
                return
            words = line.decode("ascii", "replace").split()
            if len(words) == 2 and words[0] == "display" and DISPLAY.match(words[1]):
                display = words[1]
                conn.sendall(b"ok\n")
                continue
            args = command_args(words)
            if args is None or display is None:
                conn.sendall(b"error\n")
                continue
            env = dict(os.environ, DISPLAY=display)
            try:
                done = subprocess.run(["xdotool"] + args, env=env, timeout=COMMAND_TIMEOUT,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                conn.sendall(b"ok\n" if done.returncode == 0 else b"error\n")
            except (OSError, subprocess.TimeoutExpired):
                conn.sendall(b"error\n")


def watch_parent():
    parent = os.getppid()
    while True:
        threading.Event().wait(1)
        if os.getppid() != parent:
            os._exit(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    args = parser.parse_args()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    with open(args.port_file + ".tmp", "w") as f:
        f.write(str(listener.getsockname()[1]))
    os.replace(args.port_file + ".tmp", args.port_file)
    threading.Thread(target=watch_parent, daemon=True).start()
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main()
