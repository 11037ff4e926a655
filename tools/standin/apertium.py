#!/usr/bin/env python3
"""The Apertium engine behind the stand-in page service: real translations, offline, from
Apertium's own HTTP server (APy, Debian's apertium-apy), the same server the program's
Apertium engine speaks to. The stand-in asks it as the program does (/translateChain, so
French, Italian and Portuguese go through Spanish); the pairs it has no path for (German:
Debian has no German data) are answered from the phrasebook.

Where APy is: $PARLIX_APY_URL, or https://localhost:$PARLIX_APY_PORT with the CA in
$PARLIX_TLS_CA (tools/with-apy sets both). Without either, no pair is Apertium's.

A request that fails, runs past the time limit or floods ends in an EngineError; the
service answers it with 500. APy keeps its own pipelines warm and restarts them.

    apertium.py --pairs    prints which pairs are real and which are phrasebook; exit
                           status 0 when Apertium can translate at least one pair
"""

import json
import os
import ssl
import sys
import threading
import urllib.error
import urllib.parse
import urllib.request

ALL_PAIRS = ("en|de", "en|es", "en|fr", "en|it", "en|pt", "de|en", "de|fr", "es|en", "fr|en", "fr|de",
             "it|en", "pt|en")

# The program sends at most 2048 bytes of text; anything much longer is not the program.
MAX_TEXT_BYTES = 8192
# A translation is about as long as its source; an answer far longer is no translation.
MAX_ANSWER_BYTES = 256 * 1024
# Seconds one request may take.
TIME_LIMIT = 10.0
# The first request of a chain starts APy's pipelines for it, which takes about a second.
ROUTE_TIME_LIMIT = 30.0


class EngineError(Exception):
    """The engine could not translate this text; the message is for the service's log."""


class TextTooLong(EngineError):
    """The text is longer than MAX_TEXT_BYTES."""


def server_from_environment():
    url = os.environ.get("PARLIX_APY_URL")
    if not url and os.environ.get("PARLIX_APY_PORT"):
        url = "https://localhost:%s" % os.environ["PARLIX_APY_PORT"]
    return url, os.environ.get("PARLIX_TLS_CA")


class ApertiumEngine:
    """Translates through APy at url (https with the CA in cafile, or plain http)."""

    def __init__(self, url=None, cafile=None, time_limit=TIME_LIMIT):
        if url is None:
            url, cafile = server_from_environment()
        self.url = url.rstrip("/") if url else None
        self.context = ssl.create_default_context(cafile=cafile) if cafile else None
        self.time_limit = time_limit
        self._routes = {}
        self._lock = threading.Lock()

    def _ask(self, pair, text, time_limit):
        """(status, answer as JSON) for one /translateChain request; EngineError when there is none."""
        if time_limit <= 0:
            raise EngineError("no answer within the time limit")
        data = urllib.parse.urlencode({"langpairs": pair, "markUnknown": "no", "q": text}).encode("utf-8")
        request = urllib.request.Request(self.url + "/translateChain", data=data)
        try:
            with urllib.request.urlopen(request, timeout=time_limit, context=self.context) as answer:
                status, body = answer.status, answer.read(MAX_ANSWER_BYTES + 1)
        except urllib.error.HTTPError as e:
            status, body = e.code, e.read(MAX_ANSWER_BYTES + 1)
        except (urllib.error.URLError, OSError, ValueError) as e:
            raise EngineError("APy gave no answer within the time limit (%s)" % e) from e
        if len(body) > MAX_ANSWER_BYTES:
            raise EngineError("APy's answer is longer than %d bytes" % MAX_ANSWER_BYTES)
        try:
            return status, json.loads(body.decode("utf-8"))
        except ValueError as e:
            raise EngineError("APy's answer is no JSON") from e

    def route(self, pair):
        """The languages APy's chain goes through for pair, ("eng", "spa", "fra"), or None
        when it has no path (or no server is there)."""
        pair = pair.lower()
        with self._lock:
            if pair in self._routes:
                return self._routes[pair]
        if self.url is None:
            return None
        try:
            status, value = self._ask(pair, "a", ROUTE_TIME_LIMIT)
        except EngineError:
            return None  # not kept: the server may answer later
        chain = value.get("responseData", {}).get("translationChain") if status == 200 else None
        route = tuple(chain) if isinstance(chain, list) and chain else None
        with self._lock:
            self._routes[pair] = route
        return route

    def pairs(self):
        return [pair for pair in ALL_PAIRS if self.route(pair) is not None]

    def translate(self, text, pair, time_limit=None):
        """The translation of text, or None when the pair is not Apertium's; EngineError when
        the engine fails on it or runs past the limit."""
        if self.route(pair) is None:
            return None
        text = text.replace("\0", "")
        if len(text.encode("utf-8")) > MAX_TEXT_BYTES:
            raise TextTooLong("text longer than %d bytes" % MAX_TEXT_BYTES)
        core = text.strip()
        if not core:
            return text
        lead = text[:len(text) - len(text.lstrip())]
        trail = text[len(text.rstrip()):]
        status, value = self._ask(pair.lower(), core, self.time_limit if time_limit is None else time_limit)
        translated = value.get("responseData", {}).get("translatedText") if isinstance(value, dict) else None
        if status != 200 or not isinstance(translated, str):
            why = value.get("explanation") if isinstance(value, dict) else None
            raise EngineError("APy answered %d%s" % (status, ": %s" % why if why else ""))
        return lead + translated.strip() + trail

    def warm(self):
        """Asks every pair once, so APy's pipelines run before the first real request."""
        for pair in ALL_PAIRS:
            self.route(pair)

    def close(self):
        """Nothing to stop: the pipelines are APy's."""


def describe(engine):
    """Two lines: the pairs Apertium translates, the pairs the phrasebook answers."""
    real = engine.pairs()
    book = [pair for pair in ALL_PAIRS if pair not in real]
    arrow = lambda pair: pair.replace("|", "->")  # noqa: E731
    lines = ["real translations (Apertium): " + (" ".join(map(arrow, real)) or "none"),
             "phrasebook: " + (" ".join(map(arrow, book)) or "none")]
    return "\n".join(lines), bool(real)


def main(argv):
    if argv[1:] != ["--pairs"]:
        sys.stderr.write(__doc__)
        return 2
    text, any_real = describe(ApertiumEngine())
    print(text)
    return 0 if any_real else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
