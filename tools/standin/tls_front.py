#!/usr/bin/env python3
"""TLS in front of a plain server on 127.0.0.1: each listener ends TLS with its own
certificate (and protocol range) and passes the bytes both ways to the upstream port,
so the stand-ins answer over HTTPS exactly as over HTTP.

    tls_front.py --upstream PORT --ports-file FILE NAME:CERT:KEY[:tls1.0] ...

Writes {"NAME": port, ...} to FILE (atomically) once every listener listens. Ends when
killed or when its parent process dies.
"""

import argparse
import json
import os
import socket
import ssl
import sys
import threading
import time
import warnings

# A client that connects and never finishes its handshake holds only its own thread,
# and not for ever.
HANDSHAKE_SECONDS = 10
IDLE_SECONDS = 60
CHUNK = 64 * 1024


def log(message):
    sys.stderr.write("tls_front: %s\n" % message)


# TLS 1.0 is deprecated, which is the point of the old listener.
warnings.filterwarnings("ignore", category=DeprecationWarning)


def context(cert, key, old):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(cert, key)
    if old:
        # A server stuck in the past: TLS 1.0 only, with what that needs.
        ctx.set_ciphers("DEFAULT:@SECLEVEL=0")
        ctx.minimum_version = ssl.TLSVersion.TLSv1
        ctx.maximum_version = ssl.TLSVersion.TLSv1
    else:
        ctx.minimum_version = ssl.TLSVersion.TLSv1_2
    return ctx


def pipe(src, dst):
    try:
        while True:
            data = src.recv(CHUNK)
            if not data:
                break
            dst.sendall(data)
    except OSError:
        pass
    finally:
        for s, how in ((dst, socket.SHUT_WR), (src, socket.SHUT_RD)):
            try:
                s.shutdown(how)
            except OSError:
                pass


def serve_one(raw, ctx, upstream, name):
    try:
        raw.settimeout(HANDSHAKE_SECONDS)
        conn = ctx.wrap_socket(raw, server_side=True)
    except (OSError, ssl.SSLError) as e:
        log("%s: handshake failed: %s" % (name, e))
        raw.close()
        return
    conn.settimeout(IDLE_SECONDS)
    try:
        back = socket.create_connection(("127.0.0.1", upstream), 5)
    except OSError as e:
        log("%s: upstream unreachable: %s" % (name, e))
        conn.close()
        return
    back.settimeout(IDLE_SECONDS)
    t = threading.Thread(target=pipe, args=(back, conn), daemon=True)
    t.start()
    pipe(conn, back)
    t.join()
    conn.close()
    back.close()


def listen(name, ctx, upstream):
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(32)

    def accept_loop():
        while True:
            raw, _ = server.accept()
            threading.Thread(target=serve_one, args=(raw, ctx, upstream, name), daemon=True).start()

    threading.Thread(target=accept_loop, daemon=True).start()
    return server.getsockname()[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--upstream", type=int, required=True)
    parser.add_argument("--ports-file", required=True)
    parser.add_argument("listeners", nargs="+")
    args = parser.parse_args()
    ports = {}
    for listener in args.listeners:
        parts = listener.split(":")
        name, cert, key = parts[:3]
        ports[name] = listen(name, context(cert, key, parts[3:] == ["tls1.0"]), args.upstream)
    temp = args.ports_file + ".tmp"
    with open(temp, "w") as f:
        json.dump(ports, f)
    os.replace(temp, args.ports_file)
    log("listening: %s -> 127.0.0.1:%d" % (ports, args.upstream))
    parent = os.getppid()
    while os.getppid() == parent:
        time.sleep(0.5)
    return 0


if __name__ == "__main__":
    sys.exit(main())
