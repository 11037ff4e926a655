"""Stand-ins for the two outside servers the program talks to, behind one HTTP proxy front.

One process plays three roles on one port of 127.0.0.1:

* the web translation service: POST /translate_t with the program's form body
  (text=...&langpair=en%7Ces&hl=en&ie=UTF-8&oe=UTF-8); it answers an HTML page whose
  translation stands between "<div", "id=result_box", ">" and "</div>", the way the
  program cuts it out;
* the maker's web server: GET /desk/service.txt serves the bytes of a file the test names;
* an HTTP proxy front: an absolute-URI request line is routed by its host,
  translate.google.com to the translation service, www.parlix.example to the maker's
  server, any other host gets 502. Nothing is ever forwarded anywhere: both back ends
  live in this process, so no byte leaves 127.0.0.1.

A request with an origin-form target ("/translate_t") is routed by its Host header, and a
Host of 127.0.0.1 or localhost by the path, so the program can also be pointed straight at
the stand-in.

Misbehaviour is read from a JSON control file at every request; see README.md.

Two engines translate: the phrasebook below (deterministic, the tests' reference and the
default) and Apertium (apertium.py), chosen per server (serve.py --engine) or per request
("engine" in the control file). Pairs Apertium has no data for are answered from the
phrasebook under either engine; the log says which engine answered.

The phrasebook
--------------
Translations are deterministic and ours. Each pair has a small phrasebook; the text is
scanned left to right, and at the start of every word the longest phrase of the book that
matches there (case-insensitively, ending at a word boundary) is replaced; words that match
nothing pass through unchanged, as does everything between words (spaces, punctuation,
line breaks). A phrase written as in the book gives the book's translation as it stands
(German nouns keep their capital, "Welt" gives "monde"); otherwise case follows the
source: all capitals (more than one letter) give all capitals, a capital first letter a
capital first letter ("Hello" gives "Hola").

en->de, en->es, en->fr, en->it, en->pt and de->fr are written out in PHRASEBOOKS below;
de->en, es->en, fr->en, it->en, pt->en and fr->de are their reverses (where two source
phrases share one translation, the first listed wins: fr->en "bonjour" is "hello").
"""

import html
import http
import json
import os
import re
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse

import apertium
import proxy_auth

TRANSLATE_HOST = "translate.google.com"
MAKER_HOST = "www.parlix.example"
TRANSLATE_PATH = "/translate_t"
SERVICE_PATH = "/desk/service.txt"
LIBRE_PATH = "/translate"

MAX_HEAD_BYTES = 64 * 1024
MAX_BODY_BYTES = 4 * 1024 * 1024
# How long a "silent" answer holds a connection the client does not close.
SILENT_LIMIT = 120

ENGINES = ("phrasebook", "apertium")

PHRASEBOOKS = {
    "en|de": [
        ("good morning", "guten Morgen"), ("good night", "gute Nacht"), ("thank you", "danke"),
        ("how are you", "wie geht es dir"), ("hello", "hallo"), ("please", "bitte"),
        ("goodbye", "auf Wiedersehen"), ("yes", "ja"), ("no", "nein"), ("friend", "Freund"),
        ("world", "Welt"), ("house", "Haus"), ("cat", "Katze"), ("dog", "Hund"),
        ("water", "Wasser"), ("the", "die"),
    ],
    "en|es": [
        ("good morning", "buenos días"), ("good night", "buenas noches"), ("thank you", "gracias"),
        ("how are you", "cómo estás"), ("hello", "hola"), ("please", "por favor"),
        ("goodbye", "adiós"), ("yes", "sí"), ("no", "no"), ("friend", "amigo"), ("world", "mundo"),
        ("house", "casa"), ("cat", "gato"), ("dog", "perro"), ("water", "agua"), ("the", "el"),
    ],
    "en|fr": [
        ("hello", "bonjour"), ("good morning", "bonjour"), ("good night", "bonne nuit"),
        ("thank you", "merci"), ("how are you", "comment ça va"), ("please", "s'il vous plaît"),
        ("goodbye", "au revoir"), ("yes", "oui"), ("no", "non"), ("friend", "ami"),
        ("world", "monde"), ("house", "maison"), ("cat", "chat"), ("dog", "chien"),
        ("water", "eau"), ("the", "le"),
    ],
    "en|it": [
        ("good morning", "buongiorno"), ("good night", "buona notte"), ("thank you", "grazie"),
        ("how are you", "come stai"), ("hello", "ciao"), ("please", "per favore"),
        ("goodbye", "arrivederci"), ("yes", "sì"), ("no", "no"), ("friend", "amico"),
        ("world", "mondo"), ("house", "casa"), ("cat", "gatto"), ("dog", "cane"),
        ("water", "acqua"), ("the", "il"),
    ],
    "en|pt": [
        ("good morning", "bom dia"), ("good night", "boa noite"), ("thank you", "obrigado"),
        ("how are you", "como vai"), ("hello", "olá"), ("please", "por favor"),
        ("goodbye", "adeus"), ("yes", "sim"), ("no", "não"), ("friend", "amigo"),
        ("world", "mundo"), ("house", "casa"), ("cat", "gato"), ("dog", "cão"),
        ("water", "água"), ("the", "o"),
    ],
    "de|fr": [
        ("guten Morgen", "bonjour"), ("gute Nacht", "bonne nuit"), ("hallo", "bonjour"),
        ("danke", "merci"), ("bitte", "s'il vous plaît"), ("auf Wiedersehen", "au revoir"),
        ("ja", "oui"), ("nein", "non"), ("Freund", "ami"), ("Welt", "monde"),
        ("Haus", "maison"), ("Katze", "chat"), ("Hund", "chien"), ("Wasser", "eau"),
    ],
}


def _reverse(book):
    seen = {}
    for source, target in book:
        seen.setdefault(target.lower(), (target, source))
    return list(seen.values())


for _forward, _backward in (("en|de", "de|en"), ("en|es", "es|en"), ("en|fr", "fr|en"),
                            ("en|it", "it|en"), ("en|pt", "pt|en"), ("de|fr", "fr|de")):
    PHRASEBOOKS[_backward] = _reverse(PHRASEBOOKS[_forward])

_WORD = re.compile(r"\w", re.UNICODE)


def _is_word_char(c):
    return bool(_WORD.match(c))


def _match_case(source, book_source, target):
    if source == book_source:
        return target
    letters = [c for c in source if c.isalpha()]
    if len(letters) > 1 and all(c.isupper() for c in letters):
        return target.upper()
    if letters and source[0].isupper():
        return target[:1].upper() + target[1:]
    return target


def translate(text, langpair):
    """The stand-in's translation of text for a pair such as "en|es"."""
    book = sorted(PHRASEBOOKS.get(langpair.lower(), []), key=lambda entry: -len(entry[0]))
    lower = text.lower()
    out = []
    i = 0
    while i < len(text):
        at_word_start = _is_word_char(text[i]) and (i == 0 or not _is_word_char(text[i - 1]))
        if at_word_start:
            for source, target in book:
                end = i + len(source)
                if lower.startswith(source.lower(), i) and (end == len(text) or not _is_word_char(text[end])):
                    out.append(_match_case(text[i:end], source, target))
                    i = end
                    break
            else:
                end = i
                while end < len(text) and _is_word_char(text[end]):
                    end += 1
                out.append(text[i:end])
                i = end
            continue
        out.append(text[i])
        i += 1
    return "".join(out)


def escape_translation(text, numeric=False):
    """HTML-escapes as the service does (apostrophe as &#39;); numeric=True also writes every
    non-ASCII character as a numeric reference (hexadecimal above U+FFFF)."""
    escaped = (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
               .replace('"', "&quot;").replace("'", "&#39;"))
    if not numeric:
        return escaped
    return "".join(c if ord(c) < 128 else ("&#x%X;" % ord(c) if ord(c) > 0xFFFF else "&#%d;" % ord(c))
                   for c in escaped)


def result_page(translation_html, with_markers=True):
    """The answer page. An earlier "<div" without the result id and lines before and after
    make the program's line machine work through the page, not only one line."""
    lines = [
        "<html><head><meta http-equiv=\"content-type\" content=\"text/html; charset=UTF-8\">",
        "<title>Parlix stand-in translation</title></head>",
        "<body><div id=gt-top class=\"header\">Translate</div>",
        "<form action=\"/translate_t\" method=post>",
        "<div id=gt-res-content class=\"almost_half_cell\">",
    ]
    if with_markers:
        lines.append("<div dir=\"ltr\" id=result_box class=\"short_text\">" + translation_html + "</div>")
    else:
        lines.append("<span class=\"short_text\">" + translation_html + "</span>")
    lines += ["</div></form>", "<div id=gt-ft>&copy; stand-in</div>", "</body></html>", ""]
    return "\r\n".join(lines).encode("utf-8")


def error_page(status):
    try:
        reason = http.HTTPStatus(status).phrase
    except ValueError:
        reason = "Status"
    return ("<html><head><title>%d %s</title></head><body><h1>%d %s</h1></body></html>\r\n"
            % (status, reason, status, reason)).encode("ascii")


def reason_of(status):
    try:
        return http.HTTPStatus(status).phrase
    except ValueError:
        return "Status"


def _seconds(value):
    """A number of seconds from the control file, or None when it names none."""
    try:
        return max(0.0, float(value)) if value is not None else None
    except (TypeError, ValueError):
        return None


class Control:
    """The JSON control file, read afresh at every request. A missing, empty or unreadable
    file means normal behaviour."""

    def __init__(self, path):
        self.path = path

    def read(self):
        if not self.path:
            return {}
        try:
            with open(self.path, "rb") as f:
                data = f.read()
        except OSError:
            return {}
        if not data.strip():
            return {}
        try:
            value = json.loads(data.decode("utf-8"))
        except (ValueError, UnicodeDecodeError) as e:
            log("control file %s unreadable (%s): normal behaviour" % (self.path, e))
            return {}
        return value if isinstance(value, dict) else {}


_log_lock = threading.Lock()


def log(message):
    with _log_lock:
        sys.stderr.write("standin: %s\n" % message)
        sys.stderr.flush()


class BadRequest(Exception):
    pass


class Request:
    def __init__(self, method, target, version, headers, body):
        self.method = method
        self.target = target
        self.version = version
        self.headers = headers  # list of (name, value), as sent
        self.body = body

    def header(self, name):
        name = name.lower()
        for key, value in self.headers:
            if key.lower() == name:
                return value
        return None

    def wants_keep_alive(self):
        connection = ",".join(filter(None, [self.header("Connection"), self.header("Proxy-Connection")])).lower()
        if "close" in connection:
            return False
        if self.version == "HTTP/1.1":
            return True
        return "keep-alive" in connection


def read_request(rfile):
    """One request from the stream, or None at a clean end of the connection."""
    head = b""
    while True:
        line = rfile.readline(MAX_HEAD_BYTES + 1)
        if not line:
            if head:
                raise BadRequest("connection closed inside the head")
            return None
        head += line
        if len(head) > MAX_HEAD_BYTES:
            raise BadRequest("head too long")
        if line in (b"\r\n", b"\n"):
            if head.strip() == b"":  # tolerate empty lines before a request
                head = b""
                continue
            break
    lines = head.decode("latin-1").splitlines()
    parts = lines[0].split()
    if len(parts) != 3 or not parts[2].startswith("HTTP/"):
        raise BadRequest("bad request line %r" % lines[0])
    method, target, version = parts
    headers = []
    for line in lines[1:]:
        if not line:
            continue
        if ":" not in line:
            raise BadRequest("bad header line %r" % line)
        name, value = line.split(":", 1)
        headers.append((name.strip(), value.strip()))
    request = Request(method, target, version, headers, b"")
    if (request.header("Transfer-Encoding") or "").lower() == "chunked":
        request.body = read_chunked(rfile)
    else:
        length_text = request.header("Content-Length")
        if length_text is not None:
            if not length_text.isdigit() or int(length_text) > MAX_BODY_BYTES:
                raise BadRequest("bad Content-Length %r" % length_text)
            length = int(length_text)
            body = rfile.read(length)
            if len(body) != length:
                raise BadRequest("body cut short")
            request.body = body
    return request


def read_chunked(rfile):
    body = b""
    while True:
        size_line = rfile.readline(1024)
        if not size_line:
            raise BadRequest("chunked body cut short")
        try:
            size = int(size_line.split(b";")[0].strip(), 16)
        except ValueError:
            raise BadRequest("bad chunk size %r" % size_line)
        if size == 0:
            while rfile.readline(MAX_HEAD_BYTES) not in (b"\r\n", b"\n", b""):
                pass
            return body
        if len(body) + size > MAX_BODY_BYTES:
            raise BadRequest("chunked body too long")
        body += rfile.read(size)
        rfile.readline(3)


def route(request):
    """(role, path) for a request: role is "translate", "maker" or None for unknown hosts."""
    target = request.target
    if target.lower().startswith("http://"):
        parsed = urllib.parse.urlsplit(target)
        host = (parsed.hostname or "").lower()
        path = parsed.path or "/"
        if parsed.query:
            path += "?" + parsed.query
    else:
        host = (request.header("Host") or "").lower().rsplit(":", 1)[0]
        path = target
    if host == TRANSLATE_HOST:
        return "translate", path
    if host == MAKER_HOST:
        return "maker", path
    if host in ("127.0.0.1", "localhost", ""):
        bare = path.split("?", 1)[0]
        if bare == TRANSLATE_PATH:
            return "translate", path
        if bare.startswith("/desk/"):
            return "maker", path
        if bare == LIBRE_PATH:
            return "libretranslate", path
        return "local", path
    return None, path


def form_fields(request, path):
    """The form fields of a POST body (or of the query of a GET), decoded as UTF-8. The
    program leaves "=" unescaped inside the text, so only the first "=" splits a field."""
    if request.method == "POST":
        raw = request.body.decode("latin-1")
    else:
        raw = path.split("?", 1)[1] if "?" in path else ""
    fields = {}
    for pair in raw.split("&"):
        if not pair:
            continue
        name, _, value = pair.partition("=")
        name = urllib.parse.unquote_plus(name, encoding="utf-8", errors="replace")
        fields.setdefault(name, urllib.parse.unquote_plus(value, encoding="utf-8", errors="replace"))
    return fields


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        control = Control(self.server.control_path)
        self.gate = proxy_auth.ProxyGate()
        while True:
            try:
                request = read_request(self.rfile)
            except BadRequest as e:
                log("bad request: %s" % e)
                self.send(400, [], error_page(400), {}, keep_alive=False)
                return
            except OSError:
                return
            if request is None:
                return
            mode = control.read()
            self.record(mode, request)
            keep_alive = request.wants_keep_alive()
            try:
                keep_alive = self.answer(request, mode, keep_alive)
            except OSError:
                return
            if not keep_alive:
                return

    def record(self, mode, request):
        path = mode.get("record")
        if not path:
            return
        entry = {"method": request.method, "target": request.target, "version": request.version,
                 "headers": request.headers, "body": request.body.decode("latin-1")}
        with _log_lock, open(path, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")

    def answer(self, request, mode, keep_alive):
        role, path = route(request)
        scope = mode.get("scope", "all")
        applies = scope == "all" or scope == role
        effective = mode if applies else {}
        summary = "%s %s %s" % (request.method, request.target, request.version)
        cycle = effective.get("cycle")
        if isinstance(cycle, list) and cycle:
            step = cycle[self.server.next_in_cycle() % len(cycle)]
            effective = dict(effective, **step) if isinstance(step, dict) else effective

        wanted = mode.get("proxy_auth")
        proxied = request.target.lower().startswith("http://") or request.method == "CONNECT"
        if isinstance(wanted, dict) and proxied:
            challenge = self.gate.check(request, wanted)
            if challenge is not None:
                log("%s -> 407 (%s)" % (summary, challenge[0][1][:40]))
                return self.send(407, challenge, error_page(407), {}, keep_alive)

        if request.method == "CONNECT":
            return self.tunnel(request, summary)

        # As a service that moved to HTTPS: the posted form goes on in the query of the
        # relocation (the client turns the POST into a GET), which this server answers.
        secure = effective.get("relocate_post_to")
        if secure and role == "translate" and request.method == "POST":
            location = "%s%s?%s" % (secure, TRANSLATE_PATH, request.body.decode("latin-1"))
            log("%s -> 302 (to %s, by control)" % (summary, secure))
            return self.send(302, [("Location", location)], error_page(302), {}, keep_alive)

        if role is None:
            log("%s -> 502 (unknown host)" % summary)
            return self.send(502, [], error_page(502), {}, keep_alive)

        delay = float(effective.get("delay", 0) or 0)
        if delay > 0:
            time.sleep(delay)
        if effective.get("silent"):
            log("%s -> nothing (silent, by control)" % summary)
            self.wait_for_close()
            return False

        status = int(effective.get("status", 200) or 200)
        if status != 200:
            headers = []
            if 300 <= status < 400 and effective.get("location"):
                headers.append(("Location", effective["location"]))
            log("%s -> %d (%s, by control)" % (summary, status, role))
            return self.send(status, headers, error_page(status), effective, keep_alive)

        self.engine_note = ""
        if role == "translate":
            status, headers, body = self.translation_answer(request, path, effective)
        elif role == "maker":
            status, headers, body = self.maker_answer(request, path, effective, mode)
        elif role == "libretranslate":
            status, headers, body = self.libre_answer(request, path, effective)
        else:
            status, headers, body = 404, [], error_page(404)
        note = ", " + self.engine_note if self.engine_note else ""
        log("%s -> %d (%s%s, %d bytes)" % (summary, status, role, note, len(body)))
        return self.send(status, headers, body, effective, keep_alive)

    def tunnel(self, request, summary):
        """CONNECT, as proxies do it, to this machine only: 200, then the bytes both ways
        until either side closes. The connection is the tunnel's from then on."""
        host, _, port = request.target.rpartition(":")
        if host.lower() not in ("localhost", "127.0.0.1") or not port.isdigit():
            log("%s -> 403 (tunnels only to this machine)" % summary)
            return self.send(403, [], error_page(403), {}, False)
        try:
            upstream = socket.create_connection(("127.0.0.1", int(port)), 5)
        except OSError:
            log("%s -> 502 (nothing listens)" % summary)
            return self.send(502, [], error_page(502), {}, False)
        log("%s -> 200 (tunnel)" % summary)
        self.wfile.write(b"HTTP/1.0 200 Connection established\r\n\r\n")
        self.wfile.flush()
        client = self.connection
        # Bytes the client sent right behind its CONNECT are still in the read buffer.
        client.settimeout(0)
        try:
            early = self.rfile.peek()
        except OSError:
            early = b""
        finally:
            client.settimeout(None)
        if early:
            upstream.sendall(self.rfile.read(len(early)))

        def pump(src, dst):
            try:
                while True:
                    data = src.recv(65536)
                    if not data:
                        break
                    dst.sendall(data)
            except OSError:
                pass
            for sock, how in ((dst, socket.SHUT_WR), (src, socket.SHUT_RD)):
                try:
                    sock.shutdown(how)
                except OSError:
                    pass

        back = threading.Thread(target=pump, args=(upstream, client), daemon=True)
        back.start()
        pump(client, upstream)
        back.join()
        upstream.close()
        return False

    def translation_answer(self, request, path, mode):
        html_type = [("Content-Type", "text/html; charset=UTF-8")]
        if path.split("?", 1)[0] != TRANSLATE_PATH or request.method not in ("POST", "GET"):
            return 404, [], error_page(404)
        if "page" in mode:
            return 200, html_type, str(mode["page"]).encode("utf-8")
        body_mode = mode.get("body", "normal")
        if body_mode == "empty":
            return 200, html_type, b""
        fields = form_fields(request, path)
        text, langpair = fields.get("text", ""), fields.get("langpair", "")
        numeric = mode.get("escape") == "numeric"
        translation = None
        if (mode.get("engine") or self.server.engine) == "apertium":
            engine = self.server.apertium_engine()
            started = time.monotonic()
            try:
                translation = engine.translate(text, langpair, _seconds(mode.get("engine_limit")))
            except apertium.TextTooLong as e:
                self.engine_note = "apertium refused: %s" % e
                return 413, [], error_page(413)
            except apertium.EngineError as e:
                self.engine_note = "apertium failed: %s" % e
                return 500, [], error_page(500)
            if translation is not None:
                self.engine_note = "apertium %s, %.0f ms" % ("+".join(engine.route(langpair)),
                                                             (time.monotonic() - started) * 1000)
                # The real service wrote every character outside ASCII as a reference.
                numeric = True
            else:
                self.engine_note = "phrasebook: no Apertium data for %s" % langpair
        if translation is None:
            translation = translate(text, langpair)
            if not self.engine_note:
                self.engine_note = "phrasebook"
        escaped = escape_translation(translation, numeric=numeric)
        return 200, html_type, result_page(escaped, with_markers=body_mode != "no_markers")

    def libre_answer(self, request, path, mode):
        """LibreTranslate's /translate as its API documents it: q, source, target, format and
        api_key, form-encoded or JSON; {"translatedText": ...}, or {"error": ...} with 400,
        403 (the key) or 429 (too many requests). The phrasebook translates."""
        def answer(status, value):
            return status, [("Content-Type", "application/json")], json.dumps(value).encode("utf-8")

        if request.method != "POST":
            return answer(405, {"error": "Method not allowed"})
        if (request.header("Content-Type") or "").lower().startswith("application/json"):
            try:
                fields = json.loads(request.body.decode("utf-8"))
            except ValueError:
                return answer(400, {"error": "Invalid JSON"})
            fields = fields if isinstance(fields, dict) else {}
        else:
            fields = form_fields(request, path)
        if mode.get("libre_busy"):
            return answer(429, {"error": "Slowdown: 30 per 1 minute"})
        key = mode.get("libre_key")
        if key is not None and fields.get("api_key") != key:
            return answer(403, {"error": "Invalid API key"})
        for name in ("q", "source", "target"):
            if not fields.get(name):
                return answer(400, {"error": "Invalid request: missing %s parameter" % name})
        text = translate(str(fields["q"]), "%s|%s" % (fields["source"], fields["target"]))
        return answer(200, {"translatedText": text})

    def maker_answer(self, request, path, mode, control):
        if path.split("?", 1)[0] != SERVICE_PATH or request.method not in ("GET", "HEAD"):
            return 404, [], error_page(404)
        if mode.get("body") == "empty":
            return 200, [("Content-Type", "text/plain")], b""
        source = control.get("service_file") or os.environ.get("PARLIX_STANDIN_SERVICE_FILE")
        if not source:
            return 404, [], error_page(404)
        try:
            with open(source, "rb") as f:
                data = f.read()
        except OSError:
            return 404, [], error_page(404)
        return 200, [("Content-Type", "text/plain")], data

    def send(self, status, headers, body, mode, keep_alive):
        """Writes one response as the mode asks; returns whether the connection stays open."""
        transfer = mode.get("transfer", "length")
        close_after = mode.get("close_after")
        if transfer == "close" or close_after is not None:
            keep_alive = False
        head = ["HTTP/1.1 %d %s" % (status, reason_of(status)), "Server: parlix-standin"]
        head += ["%s: %s" % (name, value) for name, value in headers]
        if transfer == "chunked":
            head.append("Transfer-Encoding: chunked")
            piece = max(1, int(mode.get("chunk_size", 100)))
            payload = b""
            for start in range(0, len(body), piece):
                chunk = body[start:start + piece]
                payload += b"%x\r\n" % len(chunk) + chunk + b"\r\n"
            payload += b"0\r\n\r\n"
        elif transfer == "close":
            payload = body
        else:
            head.append("Content-Length: %d" % len(body))
            payload = body
        head.append("Connection: %s" % ("keep-alive" if keep_alive else "close"))
        data = ("\r\n".join(head) + "\r\n\r\n").encode("latin-1")
        if close_after is not None:
            payload = payload[:max(0, int(close_after))]
        reset_after = mode.get("reset_after")
        if reset_after is not None:
            self.write((data + payload)[:max(0, int(reset_after))], mode)
            self.reset()
            return False
        self.write(data + payload, mode)
        if not keep_alive:
            try:
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_WR)
            except OSError:
                pass
        return keep_alive

    def wait_for_close(self):
        """Says nothing until the client closes the connection, or SILENT_LIMIT has passed."""
        deadline = time.monotonic() + SILENT_LIMIT
        self.connection.settimeout(1.0)
        while time.monotonic() < deadline:
            try:
                if not self.connection.recv(4096):
                    return
            except socket.timeout:
                continue
            except OSError:
                return

    def reset(self):
        """An abortive close: the client sees a reset, not an end of the data."""
        try:
            self.wfile.flush()
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
        except OSError:
            pass

    def write(self, data, mode):
        split = int(mode.get("split", 0) or 0)
        pause = float(mode.get("split_delay", 0) or 0)
        if split <= 0:
            self.wfile.write(data)
            self.wfile.flush()
            return
        for start in range(0, len(data), split):
            self.wfile.write(data[start:start + split])
            self.wfile.flush()
            if pause > 0 and start + split < len(data):
                time.sleep(pause)


class StandinServer(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True

    def __init__(self, port=0, control_path=None, engine="phrasebook", apertium_engine=None):
        """engine: the one that answers when the control file names none. apertium_engine:
        the Apertium engine to use (tests give their own, and close it); made on first need
        otherwise, and closed with the server."""
        if engine not in ENGINES:
            raise ValueError("unknown engine %r" % engine)
        self.control_path = control_path
        self.engine = engine
        self._apertium = apertium_engine
        self._owns_apertium = apertium_engine is None
        self._apertium_lock = threading.Lock()
        self._cycle_lock = threading.Lock()
        self._cycle_count = 0
        super().__init__(("127.0.0.1", port), Handler)

    def apertium_engine(self):
        with self._apertium_lock:
            if self._apertium is None:
                self._apertium = apertium.ApertiumEngine()
            return self._apertium

    def next_in_cycle(self):
        """The number of requests that went through a "cycle" before this one."""
        with self._cycle_lock:
            n = self._cycle_count
            self._cycle_count += 1
            return n

    def server_close(self):
        super().server_close()
        with self._apertium_lock:
            if self._apertium is not None and self._owns_apertium:
                self._apertium.close()

    @property
    def port(self):
        return self.server_address[1]
