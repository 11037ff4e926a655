#!/usr/bin/env python3
"""Runs the stand-in servers on 127.0.0.1 until killed or until the parent process dies.

    serve.py --port-file FILE [--port N] [--control FILE] [--engine phrasebook|apertium]

The port number is written to FILE (atomically) once the socket listens. The control file
defaults to $PARLIX_STANDIN_CONTROL; requests are logged to stderr. The engine (default: the
phrasebook) answers translations unless the control file names another; with Apertium its
pipelines are started at once, in the background, so that the first request finds them warm.
"""

import argparse
import os
import signal
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from apertium import describe  # noqa: E402
from standin import ENGINES, StandinServer, log  # noqa: E402


def warm(server):
    engine = server.apertium_engine()
    for line in describe(engine)[0].splitlines():
        log(line)
    started = time.monotonic()
    engine.warm()
    log("Apertium pipelines warm after %.1f s" % (time.monotonic() - started))


def watch_parent(server, parent):
    # Polling is enough: a stand-in left behind by a killed test run ends within a second.
    while True:
        time.sleep(0.5)
        if os.getppid() != parent:
            log("parent gone, stopping")
            server.shutdown()
            return


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--control", default=os.environ.get("PARLIX_STANDIN_CONTROL"))
    parser.add_argument("--engine", choices=ENGINES, default="phrasebook")
    args = parser.parse_args()

    server = StandinServer(args.port, args.control, engine=args.engine)
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown, daemon=True).start())
    signal.signal(signal.SIGINT, lambda *_: threading.Thread(target=server.shutdown, daemon=True).start())

    temp = args.port_file + ".tmp"
    with open(temp, "w") as f:
        f.write("%d\n" % server.port)
    os.replace(temp, args.port_file)
    log("listening on 127.0.0.1:%d (control: %s, engine: %s)" % (server.port, args.control or "none", args.engine))
    if args.engine == "apertium":
        threading.Thread(target=warm, args=(server,), daemon=True).start()

    threading.Thread(target=watch_parent, args=(server, os.getppid()), daemon=True).start()
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
