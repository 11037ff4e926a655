"""Tests of the stand-in servers: the proxy front with a real form body, the phrasebook, the
maker's file, and every control mode. Everything talks to 127.0.0.1 only."""

import base64
import html
import json
import os
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import proxy_auth  # noqa: E402
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

    def test_silence_reset_and_a_cycle_of_modes(self):
        self.set_mode(cycle=[{"silent": True}, {"reset_after": 20}, {"status": 500}, {}])
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=0.5) as s:
            s.sendall(b"GET http://www.parlix.example/desk/service.txt HTTP/1.0\r\n\r\n")
            self.assertRaises(socket.timeout, s.recv, 1)
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=5) as s:
            s.sendall(b"GET http://www.parlix.example/desk/service.txt HTTP/1.0\r\n\r\n")
            self.assertEqual(len(s.recv(65536)), 20)
            self.assertRaises(ConnectionResetError, s.recv, 1)
        self.assertEqual([self.post("hello").status for _ in range(2)], [500, 200])

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



def authenticate_message(user, lm, nt, domain="", workstation="PC", flags=0x00008205):
    """A type 3 message laid out as the client lays it out: header, domain, user,
    workstation, LM, NT."""
    dom, usr, host = (t.encode("utf-16-le") for t in (domain, user, workstation))
    offset = 64
    fields = {}
    for name, data in (("domain", dom), ("user", usr), ("host", host), ("lm", lm), ("nt", nt)):
        fields[name] = struct.pack("<HHI", len(data), len(data), offset)
        offset += len(data)
    header = (b"NTLMSSP\x00" + struct.pack("<I", 3) + fields["lm"] + fields["nt"] + fields["domain"]
              + fields["user"] + fields["host"] + b"\x00" * 8 + struct.pack("<I", flags))
    return header + dom + usr + host + lm + nt


EXAMPLE_CHALLENGE = bytes.fromhex("0123456789abcdef")
EXAMPLE_LM = bytes.fromhex("c337cd5cbd44fc9782a667af6d427c6de67c20c2d3e77c56")
EXAMPLE_NT = bytes.fromhex("25a98c1c31e81847466b29b2df4680f39958fb8c213a9cc6")


class ProxyAuthPrimitivesTest(unittest.TestCase):
    def test_md4_rfc1320_vectors(self):
        vectors = {b"": "31d6cfe0d16ae931b73c59d7e0c089c0", b"a": "bde52cb31de33e46245e05fbdbd6fb24",
                   b"abc": "a448017aaf21d8525fc10ae87aa6729d",
                   b"message digest": "d9130a8164549fe818874806e1c7014b",
                   b"abcdefghijklmnopqrstuvwxyz": "d79e1c308aa5bbcdeea8ed63df412da9",
                   b"1234567890" * 8: "e33b4ddc9c38f2199c3e7b164fcc0536"}
        for data, digest in vectors.items():
            self.assertEqual(proxy_auth.md4(data).hex(), digest, data)

    def test_des_known_answers(self):
        for key, plain, cipher in (("133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"),
                                   ("0e329232ea6d0d73", "8787878787878787", "0000000000000000"),
                                   ("0101010101010101", "8000000000000000", "95f8a5e5dd31d900"),
                                   ("8001010101010101", "0000000000000000", "95a8d72813daa94d")):
            self.assertEqual(proxy_auth.des_encrypt(bytes.fromhex(key), bytes.fromhex(plain)).hex(), cipher)

    def test_ntlm_responses_of_the_published_example(self):
        self.assertEqual(proxy_auth.lm_hash("SecREt01").hex(), "ff3750bcc2b22412c2265b23734e0dac")
        self.assertEqual(proxy_auth.nt_hash("SecREt01").hex(), "cd06ca7c7e10c99b1d33b7485a2ed808")
        self.assertEqual(proxy_auth.lm_response("SecREt01", EXAMPLE_CHALLENGE), EXAMPLE_LM)
        self.assertEqual(proxy_auth.nt_response("SecREt01", EXAMPLE_CHALLENGE), EXAMPLE_NT)
        # Only ASCII letters are upper-cased for the LM hash.
        self.assertEqual(proxy_auth.lm_hash("secret01"), proxy_auth.lm_hash("SECRET01"))
        self.assertNotEqual(proxy_auth.lm_hash("caf\xe9"), proxy_auth.lm_hash("CAF\xc9"))

    def test_verify_accepts_only_the_right_answer(self):
        wanted = {"user": "user", "password": "SecREt01"}
        good = authenticate_message("user", EXAMPLE_LM, EXAMPLE_NT)
        verify = proxy_auth.ProxyGate._verify
        self.assertTrue(verify(good, EXAMPLE_CHALLENGE, wanted))
        self.assertFalse(verify(good, bytes(8), wanted))
        self.assertFalse(verify(good, EXAMPLE_CHALLENGE, dict(wanted, password="other")))
        self.assertFalse(verify(good, EXAMPLE_CHALLENGE, dict(wanted, user="someone")))
        self.assertFalse(verify(authenticate_message("user", bytes(24), EXAMPLE_NT), EXAMPLE_CHALLENGE, wanted))
        self.assertTrue(verify(authenticate_message("user", EXAMPLE_LM, EXAMPLE_NT, domain="CORP"),
                               EXAMPLE_CHALLENGE, dict(wanted, domain="corp")))
        self.assertFalse(verify(authenticate_message("user", EXAMPLE_LM, EXAMPLE_NT, domain="ELSE"),
                                EXAMPLE_CHALLENGE, dict(wanted, domain="corp")))

    def test_malformed_authenticate_messages_are_refused(self):
        good = authenticate_message("user", EXAMPLE_LM, EXAMPLE_NT)
        wanted = {"user": "user", "password": "SecREt01"}
        bad = [good[:63], good[:-1], b"NTLMSSP\x00" + struct.pack("<I", 1) + good[12:],
               good[:20] + struct.pack("<HHI", 24, 24, 0xFFFFFFF0) + good[28:],
               good[:36] + struct.pack("<HHI", 0xFFFF, 0xFFFF, 64) + good[44:]]
        for message in bad:
            self.assertFalse(proxy_auth.ProxyGate._verify(message, EXAMPLE_CHALLENGE, wanted))

    def test_challenge_message_layout(self):
        message = proxy_auth.challenge_message(EXAMPLE_CHALLENGE, "CORP", "SRV")
        self.assertEqual(message[:12], b"NTLMSSP\x00\x02\x00\x00\x00")
        self.assertEqual(message[24:32], EXAMPLE_CHALLENGE)
        length, _, offset = struct.unpack_from("<HHI", message, 12)
        self.assertEqual(message[offset:offset + length].decode("utf-16-le"), "CORP")
        length, _, offset = struct.unpack_from("<HHI", message, 40)
        self.assertEqual(offset + length, len(message))
        self.assertIn("SRV".encode("utf-16-le"), message[offset:])


class ProxyAuthTest(StandinTest):
    TARGET = "http://www.parlix.example/desk/service.txt"

    def request(self, auth=None, keep_alive=True):
        lines = ["GET %s HTTP/1.0" % self.TARGET, "Host: www.parlix.example"]
        if keep_alive:
            lines.append("Proxy-Connection: Keep-alive")
        if auth:
            lines.append("Proxy-Authorization: " + auth)
        return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")

    def converse(self, sock, request):
        """Sends one request on an open connection and reads one whole answer."""
        sock.sendall(request)
        data = b""
        while b"\r\n\r\n" not in data:
            piece = sock.recv(65536)
            if not piece:
                break
            data += piece
        response = Response(data)
        length = int(response.headers.get("content-length", "0"))
        while len(response.rest) < length:
            piece = sock.recv(65536)
            if not piece:
                break
            response.rest += piece
        return response

    def test_basic(self):
        source = os.path.join(self.dir.name, "service.txt")
        with open(source, "wb") as f:
            f.write(b"[Service]\r\n")
        self.set_mode(service_file=source, proxy_auth={"scheme": "basic", "user": "al", "password": "s:e cret"})
        r = Response(self.exchange(self.request(keep_alive=False)))
        self.assertEqual(r.status, 407)
        self.assertTrue(r.headers["proxy-authenticate"].startswith("Basic realm="))
        wrong = "Basic " + base64.b64encode(b"al:secret").decode()
        self.assertEqual(Response(self.exchange(self.request(wrong, keep_alive=False))).status, 407)
        right = "Basic " + base64.b64encode(b"al:s:e cret").decode()
        r = Response(self.exchange(self.request(right, keep_alive=False)))
        self.assertEqual(r.status, 200)
        self.assertEqual(r.body(), b"[Service]\r\n")
        # Origin-form requests reach the server itself, not the proxy: never gated.
        self.assertEqual(self.get("/desk/service.txt", host="127.0.0.1").status, 200)

    def ntlm_round(self, sock, user, password):
        first = self.converse(sock, self.request())
        self.assertEqual(first.status, 407)
        self.assertEqual(first.headers["proxy-authenticate"], "NTLM")
        negotiate = b"NTLMSSP\x00" + struct.pack("<II", 1, 0x8207) + bytes(16)
        second = self.converse(sock, self.request("NTLM " + base64.b64encode(negotiate).decode()))
        self.assertEqual(second.status, 407)
        self.assertEqual(second.headers["connection"], "keep-alive")
        scheme, _, token = second.headers["proxy-authenticate"].partition(" ")
        self.assertEqual(scheme, "NTLM")
        challenge = base64.b64decode(token)[24:32]
        answer = authenticate_message(user, proxy_auth.lm_response(password, challenge),
                                      proxy_auth.nt_response(password, challenge))
        return self.converse(sock, self.request("NTLM " + base64.b64encode(answer).decode()))

    def test_ntlm_on_one_connection(self):
        self.set_mode(proxy_auth={"scheme": "ntlm", "user": "pu", "password": "pp", "domain": "CORP"})
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=10) as s:
            self.assertEqual(self.ntlm_round(s, "pu", "wrong").status, 407)
            third = self.ntlm_round(s, "PU", "pp")
            self.assertEqual(third.status, 404)  # past the proxy: no service file named
            # The connection stays authenticated.
            self.assertEqual(self.converse(s, self.request()).status, 404)
        # A new connection must authenticate again.
        self.assertEqual(Response(self.exchange(self.request(keep_alive=False))).status, 407)

    def test_ntlm_answer_on_another_connection_is_refused(self):
        self.set_mode(proxy_auth={"scheme": "ntlm", "user": "pu", "password": "pp"})
        negotiate = b"NTLMSSP\x00" + struct.pack("<II", 1, 0x8207) + bytes(16)
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=10) as s:
            second = self.converse(s, self.request("NTLM " + base64.b64encode(negotiate).decode()))
        challenge = base64.b64decode(second.headers["proxy-authenticate"][5:])[24:32]
        answer = authenticate_message("pu", proxy_auth.lm_response("pp", challenge),
                                      proxy_auth.nt_response("pp", challenge))
        r = Response(self.exchange(self.request("NTLM " + base64.b64encode(answer).decode(), keep_alive=False)))
        self.assertEqual(r.status, 407)
        garbage = Response(self.exchange(self.request("NTLM !!!", keep_alive=False)))
        self.assertEqual(garbage.status, 407)

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
