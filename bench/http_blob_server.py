#!/usr/bin/env python3
"""Serves one file over HTTP/1.0 on 127.0.0.1 for the download benchmark.

    http_blob_server.py FILE PORT_FILE [COUNT [CERT KEY]]

Listens on a free port of 127.0.0.1, writes the port number to PORT_FILE, answers
COUNT requests (default 1000) with the whole file (Content-Length given) and exits.
The body goes out with sendfile, so the server is never the slow side. With CERT and
KEY it speaks HTTPS (TLS 1.2 or newer; OpenSSL encrypts in large records).
"""
import os
import socket
import ssl
import sys


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            return None
        data += chunk
    return data


def main():
    path, port_file = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    tls = None
    if len(sys.argv) > 5:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.minimum_version = ssl.TLSVersion.TLSv1_2
        tls.load_cert_chain(sys.argv[4], sys.argv[5])
    size = os.path.getsize(path)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(listener.getsockname()[1]))
    os.replace(port_file + ".tmp", port_file)
    for _ in range(count):
        conn, _ = listener.accept()
        if tls is not None:
            try:
                conn = tls.wrap_socket(conn, server_side=True)
            except (OSError, ssl.SSLError):
                conn.close()
                continue
        with conn:
            if read_request(conn) is None:
                continue
            head = ("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                    "Content-Length: %d\r\nConnection: close\r\n\r\n" % size)
            conn.sendall(head.encode("ascii"))
            with open(path, "rb") as f:
                conn.sendfile(f)
            try:
                # Over TLS: close-notify, then the peer's, if it sends one.
                conn = conn.unwrap() if tls is not None else conn
                conn.shutdown(socket.SHUT_WR)
            except (OSError, ssl.SSLError):
                pass


if __name__ == "__main__":
    main()
