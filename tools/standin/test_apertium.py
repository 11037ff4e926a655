"""Tests of the Apertium engine behind the stand-in translation service: every real pair
through the proxy front with the program's form body, the German fallback to the phrasebook,
the page the program reads, and the engine's faults (a server that fails, floods, hangs or
goes away), which must end in an HTTP error, never in a hang. Runs inside tools/with-apy,
which starts Apertium's own server (Debian's apertium-apy)."""

import contextlib
import http.server
import io
import json
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import apertium  # noqa: E402
import standin  # noqa: E402
import test_standin as base  # noqa: E402

if not apertium.ApertiumEngine().pairs():
    sys.exit("test_apertium: no Apertium server answers; run it through tools/with-apy (tools/install-deps installs it)")

CATS = "The cats are sleeping in the garden."


@contextlib.contextmanager
def captured_log():
    sink = io.StringIO()
    with contextlib.redirect_stderr(sink):
        yield sink


class ApertiumServiceTest(base.StandinTest):
    """A stand-in whose default engine is Apertium, sharing warm pipelines between tests."""

    engine = None

    @classmethod
    def setUpClass(cls):
        cls.engine = apertium.ApertiumEngine()

    @classmethod
    def tearDownClass(cls):
        cls.engine.close()

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.control = os.path.join(self.dir.name, "control.json")
        self.server = standin.StandinServer(0, self.control, engine="apertium", apertium_engine=self.engine)
        self.thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.05})
        self.thread.start()

    def tearDown(self):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join()
        self.dir.cleanup()

    def translated(self, text, pair):
        r = self.post(text, pair.replace("|", "%7C"))
        self.assertEqual(r.status, 200, r.raw[:200])
        return base.extract(r.body())

    def test_english_and_spanish_both_ways(self):
        with captured_log() as log:
            r = self.post(CATS)
        self.assertEqual(r.status, 200)
        page = r.body()
        # Every character outside ASCII as a numeric reference, inside the markers.
        self.assertTrue(all(b < 128 for b in page), page)
        self.assertIn(b"jard&#237;n", page)
        spanish = base.extract(page)
        self.assertIn("gatos", spanish)
        self.assertIn("jardín", spanish)
        self.assertIn("(translate, apertium eng+spa", log.getvalue())
        english = self.translated("El niño come manzanas verdes en la cocina.", "es|en")
        self.assertIn("apples", english)
        self.assertIn("green", english)

    def test_pairs_through_spanish(self):
        expected = {
            ("en|fr", CATS): ("chats", "jardin"),
            ("en|it", CATS): ("gatti", "giardino"),
            ("en|pt", CATS): ("gatos", "jardim"),
            ("fr|en", "Les enfants mangent des pommes vertes."): ("eat", "apples"),
            ("it|en", "I bambini mangiano mele verdi."): ("eat", "apples"),
            ("pt|en", "As crianças comem maçãs verdes."): ("eat", "apples"),
        }
        for (pair, text), words in expected.items():
            with captured_log() as log:
                result = self.translated(text, pair)
            for word in words:
                self.assertIn(word, result, (pair, result))
            route = "+".join(self.engine.route(pair))
            self.assertIn("+spa+", route, pair)
            self.assertIn("apertium " + route, log.getvalue(), pair)

    def test_german_pairs_keep_the_phrasebook(self):
        for pair, text in (("en|de", "Good morning, friend"), ("de|en", "Guten Morgen"), ("de|fr", "hallo Welt"),
                           ("fr|de", "bonjour")):
            with captured_log() as log:
                self.assertEqual(self.translated(text, pair), standin.translate(text, pair))
            self.assertIn("phrasebook: no Apertium data for " + pair, log.getvalue())
        # The control file can still ask for the phrasebook on a pair Apertium has.
        self.set_mode(engine="phrasebook")
        self.assertEqual(self.translated("thank you", "en|es"), "gracias")

    def test_lines_reserved_characters_and_unknown_words(self):
        text = "  Good morning, my friend.\r\n\r\nThe blorpy wug [sic] likes <b>a^b$c</b> \\ {x/y} @home.  "
        result = self.post(text).body()
        cut = base.extract(result)
        first, _, second = cut.partition("\r\n\r\n")
        self.assertIn("amigo", first)
        # The characters the engine's stream format reserves come back as they were.
        for reserved in "[]^$/@<>{}\\":
            self.assertEqual(cut.count(reserved), text.count(reserved), reserved)
        self.assertIn(b"&lt;b&gt;", result)
        # Unknown words come back as they were, without the engine's marks.
        self.assertIn("blorpy wug", second)
        self.assertNotIn("*", cut)
        self.assertNotIn("#", cut)

    def test_concurrent_requests_are_all_served(self):
        jobs = [("en|es", CATS, "gatos"), ("en|fr", CATS, "chats"), ("es|en", "El perro come.", "dog"),
                ("en|de", "hello", "hallo")] * 3
        results = [None] * len(jobs)

        def run(i, pair, text):
            results[i] = self.translated(text, pair)

        threads = [threading.Thread(target=run, args=(i, pair, text)) for i, (pair, text, _) in enumerate(jobs)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(60)
        for (pair, _, word), result in zip(jobs, results):
            self.assertIn(word, result or "", pair)

    def test_time_out_of_the_real_engine_gives_500_then_recovers(self):
        self.set_mode(engine_limit=0)
        with captured_log() as log:
            self.assertEqual(self.post(CATS).status, 500)
        self.assertIn("apertium failed: no answer within the time limit", log.getvalue())
        self.set_mode()
        self.assertIn("gatos", self.translated(CATS, "en|es"))

    def test_text_longer_than_the_bound_is_refused(self):
        r = self.post("cat " * (apertium.MAX_TEXT_BYTES // 4 + 1))
        self.assertEqual(r.status, 413)
        self.assertIn("gatos", self.translated(CATS, "en|es"))


class FakeApy(http.server.BaseHTTPRequestHandler):
    """An APy that echoes each text along a chain eng -> spa (German has no path), and
    misbehaves on a word:
    "boom" gets a 500 that is no JSON, "flood" an answer without end, "sleepy" nothing for
    longer than the engine waits."""

    def do_POST(self):
        fields = urllib.parse.parse_qs(self.rfile.read(int(self.headers["Content-Length"])).decode())
        text = fields.get("q", [""])[0]
        if "de" in fields.get("langpairs", [""])[0].split("|"):
            self.send_response(400)
            self.end_headers()
            self.wfile.write(b'{"explanation": "No path found"}')
            return
        if "sleepy" in text:
            time.sleep(5)
        if "boom" in text:
            self.send_response(500)
            self.end_headers()
            self.wfile.write(b"<html>no</html>")
            return
        body = json.dumps({"responseData": {"translatedText": text, "translationChain": ["eng", "spa"]}}).encode()
        self.send_response(200)
        self.end_headers()
        try:
            self.wfile.write(b"x" * (apertium.MAX_ANSWER_BYTES + 10) if "flood" in text else body)
        except OSError:
            pass

    def log_message(self, *args):
        pass


class EngineFaultTest(unittest.TestCase):
    def setUp(self):
        self.apy = http.server.ThreadingHTTPServer(("127.0.0.1", 0), FakeApy)
        threading.Thread(target=self.apy.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True).start()
        self.engine = apertium.ApertiumEngine("http://127.0.0.1:%d" % self.apy.server_port, time_limit=2.0)
        self.dir = tempfile.TemporaryDirectory()
        self.control = os.path.join(self.dir.name, "control.json")
        self.server = standin.StandinServer(0, self.control, engine="apertium", apertium_engine=self.engine)
        self.thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.05})
        self.thread.start()
        self.client = base.StandinTest.__new__(base.StandinTest)
        self.client.server = self.server

    def tearDown(self):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join()
        self.apy.shutdown()
        self.apy.server_close()
        self.dir.cleanup()

    def post(self, text, pair="en%7Ces"):
        return base.StandinTest.post(self.client, text, pair)

    def test_failing_flooding_hanging_and_vanished_servers_answer_500(self):
        r = self.post("a [plain] text")
        self.assertEqual((r.status, base.extract(r.body())), (200, "a [plain] text"))
        for text in ("boom", "flood", "sleepy"):
            started = time.monotonic()
            with captured_log() as log:
                r = self.post(text)
            self.assertEqual(r.status, 500, text)
            self.assertLess(time.monotonic() - started, 10, text)
            self.assertIn("apertium failed: APy", log.getvalue())
            # The next request is served again.
            self.assertEqual(base.extract(self.post("again").body()), "again")
        # The server goes away after its chain was learnt: an error, not the phrasebook.
        self.apy.shutdown()
        self.apy.server_close()
        self.assertEqual(self.post("hola").status, 500)

    def test_a_hanging_request_does_not_stop_the_others(self):
        hung = {}

        def hang():
            hung["status"] = self.post("sleepy").status

        thread = threading.Thread(target=hang)
        thread.start()
        time.sleep(0.2)
        # Another pair, and the phrasebook, answer while the engine's request is stuck.
        self.assertEqual(base.extract(self.post("thank you", "en%7Cde").body()), "danke")
        thread.join(10)
        self.assertEqual(hung.get("status"), 500)
        self.assertEqual(base.extract(self.post("after").body()), "after")


class LauncherTest(unittest.TestCase):
    def test_serve_with_apertium_warms_and_logs_the_engine(self):
        with tempfile.TemporaryDirectory() as d:
            port_file = os.path.join(d, "port")
            proc = subprocess.Popen([sys.executable, os.path.join(HERE, "serve.py"), "--port-file", port_file,
                                     "--engine", "apertium"], stderr=subprocess.PIPE)
            lines = []
            reader = threading.Thread(target=lambda: lines.extend(iter(proc.stderr.readline, b"")), daemon=True)
            reader.start()
            try:
                for _ in range(200):
                    if os.path.exists(port_file):
                        break
                    time.sleep(0.05)
                client = base.StandinTest.__new__(base.StandinTest)
                with open(port_file) as f:
                    client.server = type("Port", (), {"port": int(f.read())})()
                r = base.StandinTest.post(client, CATS)
                self.assertIn("gatos", base.extract(r.body()))
                # The warm-up asks APy for every pair in the background (each chain's
                # pipelines start then): its lines come when it is through.
                deadline = time.monotonic() + 60
                while time.monotonic() < deadline and not any(b"phrasebook: en->de" in line for line in lines):
                    time.sleep(0.1)
            finally:
                proc.send_signal(signal.SIGTERM)
                proc.wait(timeout=30)
                reader.join(10)
            self.assertEqual(proc.returncode, 0)
            log = b"".join(lines).decode()
            self.assertIn("real translations (Apertium): en->es en->fr en->it en->pt es->en fr->en it->en pt->en",
                          log)
            self.assertIn("phrasebook: en->de de->en de->fr fr->de", log)
            self.assertIn("apertium eng+spa", log)


if __name__ == "__main__":
    unittest.main()
