"""Tests of the stand-in servers: the proxy front with a real form body, the phrasebook, the
maker's file, and every control mode. Everything talks to 127.0.0.1 only."""

import html
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import standin  # noqa: E402

BODY_TAIL = "&hl=en&ie=UTF-8&oe=UTF-8"


def program_body(text, langpair="en%7Ces"):
    """The request body the program builds: UTF-8, form-encoded with "=" kept."""
    safe = set(b"-.=0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")
    encoded = "".join("+" if b == 32 else chr(b) if b in safe else "%%%02X" % b for b in text.encode("utf-8"))
    return ("text=" + encoded + "&langpair=" + langpair + BODY_TAIL).encode("ascii")


def extract(page):
    """The program's cut: after "<div", then "id=result_box", then ">", up to "</div>"."""
    text = page.decode("utf-8")
    start = text.find("<div")
    if start < 0:
        return None
    second = text.find("id=result_box", start + 1)
    if second < 0:
        return None
    open_end = text.find(">", second + 1)
    close = text.find("</div>", open_end + 1)
    if open_end < 0 or close < 0:
        return None
    return html.unescape(text[open_end + 1:close].strip())


class Response:
    def __init__(self, raw):
        self.raw = raw
        head, _, self.rest = raw.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        self.status = int(lines[0].split()[1])
        self.headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            self.headers[name.strip().lower()] = value.strip()

    def body(self):
        if self.headers.get("transfer-encoding") == "chunked":
            return dechunk(self.rest)
        if "content-length" in self.headers:
            return self.rest[:int(self.headers["content-length"])]
        return self.rest


def dechunk(data):
    body = b""
    while True:
        size_line, _, data = data.partition(b"\r\n")
        size = int(size_line, 16)
        if size == 0:
            return body
        body += data[:size]
        assert data[size:size + 2] == b"\r\n", "chunk not followed by CR LF"
        data = data[size + 2:]


class StandinTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.control = os.path.join(self.dir.name, "control.json")
        self.server = standin.StandinServer(0, self.control)
        self.thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.05})
        self.thread.start()

    def tearDown(self):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join()
        self.dir.cleanup()

    def set_mode(self, **mode):
        with open(self.control, "w") as f:
            json.dump(mode, f)

    def exchange(self, request, read_all=True):
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=10) as s:
            s.sendall(request)
            chunks = []
            while True:
                data = s.recv(65536)
                if not data:
                    break
                chunks.append(data)
            return b"".join(chunks)

    def post(self, text, langpair="en%7Ces", target="http://translate.google.com/translate_t", version="HTTP/1.0"):
        body = program_body(text, langpair)
        request = ("POST %s %s\r\nHost: translate.google.com\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                   "Content-Length: %d\r\n\r\n" % (target, version, len(body))).encode("ascii") + body
        return Response(self.exchange(request))

    def get(self, target, host="www.parlix.example"):
        return Response(self.exchange(("GET %s HTTP/1.0\r\nHost: %s\r\n\r\n" % (target, host)).encode("ascii")))


class ProxyFrontTest(StandinTest):
    def test_post_through_the_proxy_front(self):
        r = self.post("Hello world, good morning! Thank you.")
        self.assertEqual(r.status, 200)
        self.assertEqual(int(r.headers["content-length"]), len(r.body()))
        self.assertEqual(extract(r.body()), "Hola mundo, buenos días! Gracias.")
        self.assertIn(b"buenos d\xc3\xadas", r.body())  # non-ASCII as UTF-8 by default

    def test_escaping_and_special_characters(self):
        # "=" stays unescaped in the program's body: only the first "=" ends the field name.
        r = self.post("x = y & <z> \"q\" it's", "en%7Cfr")
        self.assertIn(b"&amp; &lt;z&gt; &quot;q&quot; it&#39;s", r.body())
        self.assertEqual(extract(r.body()), "x = y & <z> \"q\" it's")
        r = self.post("please", "en%7Cfr")
        self.assertEqual(extract(r.body()), "s'il vous plaît")

    def test_lines_stay_lines(self):
        r = self.post("hello\r\n\r\nworld")
        page = r.body().decode("utf-8")
        self.assertIn("result_box class=\"short_text\">hola\r\n\r\nmundo</div>", page)

    def test_text_cut_inside_a_character_is_tolerated(self):
        body = b"text=caf%C3&langpair=en%7Ces" + BODY_TAIL.encode()
        request = (b"POST http://translate.google.com/translate_t HTTP/1.0\r\nContent-Length: %d\r\n\r\n"
                   % len(body)) + body
        r = Response(self.exchange(request))
        self.assertEqual(r.status, 200)
        self.assertEqual(extract(r.body()), "caf\ufffd")

    def test_origin_form_routes_by_host_or_path(self):
        body = program_body("thank you")
        request = ("POST /translate_t HTTP/1.0\r\nHost: 127.0.0.1:%d\r\nContent-Length: %d\r\n\r\n"
                   % (self.server.port, len(body))).encode() + body
        self.assertEqual(extract(Response(self.exchange(request)).body()), "gracias")
        request = ("POST /translate_t HTTP/1.0\r\nHost: translate.google.com\r\nContent-Length: %d\r\n\r\n"
                   % len(body)).encode() + body
        self.assertEqual(extract(Response(self.exchange(request)).body()), "gracias")

    def test_unknown_hosts_and_paths(self):
        self.assertEqual(self.get("http://example.com/", host="example.com").status, 502)
        self.assertEqual(self.post("hello", target="http://translate.google.com/other").status, 404)
        self.assertEqual(self.get("http://www.parlix.example/other.txt").status, 404)
        self.assertEqual(Response(self.exchange(b"NONSENSE\r\n\r\n")).status, 400)

    def test_keep_alive_serves_two_requests_on_one_connection(self):
        body = program_body("dog")
        one = ("POST http://translate.google.com/translate_t HTTP/1.1\r\nHost: translate.google.com\r\n"
               "Content-Length: %d\r\n\r\n" % len(body)).encode() + body
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=10) as s:
            s.sendall(one)
            first = Response(s.recv(65536))
            self.assertEqual(first.headers["connection"], "keep-alive")
            s.sendall(one.replace(b"HTTP/1.1\r\n", b"HTTP/1.1\r\nConnection: close\r\n", 1))
            data = b""
            while True:
                piece = s.recv(65536)
                if not piece:
                    break
                data += piece
        self.assertEqual(extract(first.body()), "perro")
        self.assertEqual(extract(Response(data).body()), "perro")


class PhrasebookTest(unittest.TestCase):
    def test_every_pair_has_a_book(self):
        for pair in ("en|de", "en|es", "en|fr", "en|it", "en|pt", "de|en", "de|fr", "es|en", "fr|en", "fr|de",
                     "it|en", "pt|en"):
            self.assertTrue(standin.PHRASEBOOKS[pair], pair)

    def test_phrases_words_and_case(self):
        t = standin.translate
        self.assertEqual(t("Good morning, friend", "en|de"), "Guten Morgen, Freund")
        self.assertEqual(t("HELLO WORLD", "en|it"), "CIAO MONDO")
        self.assertEqual(t("the world", "en|de"), "die Welt")
        self.assertEqual(t("Guten Morgen", "de|en"), "Good morning")
        self.assertEqual(t("bonjour le monde", "fr|en"), "hello the world")
        self.assertEqual(t("hallo Welt", "de|fr"), "bonjour monde")
        self.assertEqual(t("Hallo WELT", "de|fr"), "Bonjour MONDE")
        self.assertEqual(t("Welt", "de|en"), "world")
        self.assertEqual(t("bonjour", "fr|de"), "guten Morgen")
        self.assertEqual(t("obrigado", "pt|en"), "thank you")
        # Words match whole: "cathedral" is not "cat" + "hedral"; unknown words pass through.
        self.assertEqual(t("cathedral cat", "en|es"), "cathedral gato")
        self.assertEqual(t("zebra", "en|es"), "zebra")
        self.assertEqual(t("hello", "xx|yy"), "hello")
        self.assertEqual(t("", "en|es"), "")


class MakerServerTest(StandinTest):
    def test_service_file_bytes_are_served_unchanged(self):
        path = os.path.join(self.dir.name, "service.txt")
        data = bytes(range(256)) + b"\r\n[Service]\r\nMessage=hi\r\n"
        with open(path, "wb") as f:
            f.write(data)
        self.set_mode(service_file=path)
        r = self.get("http://www.parlix.example/desk/service.txt")
        self.assertEqual(r.status, 200)
        self.assertEqual(r.body(), data)

    def test_no_file_gives_404(self):
        self.assertEqual(self.get("http://www.parlix.example/desk/service.txt").status, 404)
        self.set_mode(service_file=os.path.join(self.dir.name, "missing.txt"))
        self.assertEqual(self.get("http://www.parlix.example/desk/service.txt").status, 404)


class ModesTest(StandinTest):
    def test_status_codes(self):
        for status in (404, 500, 503):
            self.set_mode(status=status)
            r = self.post("hello")
            self.assertEqual(r.status, status)
            self.assertIn(b"<html>", r.body())
            self.assertEqual(extract(r.body()), None)
        self.set_mode(status=302, location="http://translate.google.com/translate_t")
        r = self.post("hello")
        self.assertEqual((r.status, r.headers["location"]), (302, "http://translate.google.com/translate_t"))

    def test_empty_body_and_page_without_markers(self):
        self.set_mode(body="empty")
        r = self.post("hello")
        self.assertEqual((r.status, r.headers["content-length"], r.body()), (200, "0", b""))
        self.set_mode(body="no_markers")
        r = self.post("hello")
        self.assertEqual(r.status, 200)
        self.assertIn(b"hola", r.body())
        self.assertNotIn(b"result_box", r.body())
        self.assertEqual(extract(r.body()), None)

    def test_literal_page_and_numeric_references(self):
        self.set_mode(page="<div id=result_box>x</div>")
        self.assertEqual(self.post("hello").body(), b"<div id=result_box>x</div>")
        self.set_mode(escape="numeric")
        r = self.post("good morning \U0001F600")
        self.assertIn(b"buenos d&#237;as &#x1F600;", r.body())
        self.assertEqual(extract(r.body()), "buenos días \U0001F600")

    def test_chunked_body(self):
        plain = self.post("hello world").body()
        self.set_mode(transfer="chunked", chunk_size=7)
        r = self.post("hello world")
        self.assertEqual(r.headers.get("transfer-encoding"), "chunked")
        self.assertNotIn("content-length", r.headers)
        self.assertTrue(r.rest.startswith(b"7\r\n"))
        self.assertEqual(r.body(), plain)
        self.set_mode(transfer="chunked", body="empty")
        r = self.post("hello")
        self.assertEqual(r.rest, b"0\r\n\r\n")

    def test_length_less_body_closed_at_the_end(self):
        plain = self.post("hello world").body()
        self.set_mode(transfer="close")
        r = self.post("hello world")
        self.assertNotIn("content-length", r.headers)
        self.assertNotIn("transfer-encoding", r.headers)
        self.assertEqual(r.headers["connection"], "close")
        self.assertEqual(r.rest, plain)

    def test_close_in_the_middle_of_the_body(self):
        full = self.post("hello world").body()
        self.set_mode(close_after=50)
        r = self.post("hello world")
        self.assertEqual(int(r.headers["content-length"]), len(full))
        self.assertEqual(r.rest, full[:50])

    def test_delay_before_answering(self):
        self.set_mode(delay=0.3)
        start = time.monotonic()
        r = self.post("hello")
        self.assertGreaterEqual(time.monotonic() - start, 0.3)
        self.assertEqual(extract(r.body()), "hola")

    def test_split_and_slow_writes(self):
        self.set_mode(split=5, split_delay=0.05)
        body = program_body("cat")
        request = ("POST http://translate.google.com/translate_t HTTP/1.0\r\nContent-Length: %d\r\n\r\n"
                   % len(body)).encode() + body
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=10) as s:
            s.sendall(request)
            first = s.recv(65536)
            rest = b""
            while True:
                piece = s.recv(65536)
                if not piece:
                    break
                rest += piece
        self.assertLessEqual(len(first), 5)
        self.assertEqual(extract(Response(first + rest).body()), "gato")

    def test_scope_limits_a_mode_to_one_role(self):
        path = os.path.join(self.dir.name, "service.txt")
        with open(path, "wb") as f:
            f.write(b"data")
        self.set_mode(status=500, scope="translate", service_file=path)
        self.assertEqual(self.post("hello").status, 500)
        self.assertEqual(self.get("http://www.parlix.example/desk/service.txt").body(), b"data")
        self.set_mode(status=500, scope="maker", service_file=path)
        self.assertEqual(self.post("hello").status, 200)
        self.assertEqual(self.get("http://www.parlix.example/desk/service.txt").status, 500)

    def test_record_and_unreadable_control(self):
        log = os.path.join(self.dir.name, "requests.jsonl")
        self.set_mode(record=log)
        self.post("thank you", "en%7Cde")
        with open(log) as f:
            entries = [json.loads(line) for line in f]
        self.assertEqual(len(entries), 1)
        self.assertEqual(entries[0]["target"], "http://translate.google.com/translate_t")
        self.assertEqual(entries[0]["body"], "text=thank+you&langpair=en%7Cde" + BODY_TAIL)
        with open(self.control, "w") as f:
            f.write("{not json")
        self.assertEqual(extract(self.post("thank you").body()), "gracias")


class LauncherTest(unittest.TestCase):
    def test_serve_writes_the_port_and_stops_on_sigterm(self):
        with tempfile.TemporaryDirectory() as d:
            port_file = os.path.join(d, "port")
            proc = subprocess.Popen([sys.executable, os.path.join(HERE, "serve.py"), "--port-file", port_file],
                                    stderr=subprocess.PIPE)
            try:
                for _ in range(200):
                    if os.path.exists(port_file):
                        break
                    time.sleep(0.05)
                port = int(open(port_file).read())
                with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
                    s.sendall(b"GET http://nowhere.example/ HTTP/1.0\r\n\r\n")
                    self.assertTrue(s.recv(100).startswith(b"HTTP/1.1 502"))
            finally:
                proc.send_signal(signal.SIGTERM)
                _, err = proc.communicate(timeout=10)
            self.assertEqual(proc.returncode, 0)
            self.assertIn(b"-> 502", err)

    def test_with_standins_exports_and_returns_the_status(self):
        script = ("import os, socket, sys\n"
                  "port = int(os.environ['PARLIX_STANDIN_PORT'])\n"
                  "open(os.environ['PARLIX_STANDIN_CONTROL'], 'w').write('{\"status\": 404}')\n"
                  "s = socket.create_connection(('127.0.0.1', port))\n"
                  "s.sendall(b'POST http://translate.google.com/translate_t HTTP/1.0\\r\\nContent-Length: 0\\r\\n\\r\\n')\n"
                  "sys.exit(7 if s.recv(100).startswith(b'HTTP/1.1 404') else 1)\n")
        env = dict(os.environ, PARLIX_STANDIN_LOG=os.devnull)
        result = subprocess.run([os.path.join(HERE, "..", "with-standins"), sys.executable, "-c", script],
                                env=env, timeout=60)
        self.assertEqual(result.returncode, 7)


if __name__ == "__main__":
    unittest.main()
