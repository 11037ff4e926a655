"""Tests of the Apertium engine behind the stand-in translation service: every real pair
through the proxy front with the program's form body, the German fallback to the phrasebook,
the page the program reads, and the engine's faults (failure, death, flood, time-out), which
must end in an HTTP error, never in a hang. Apertium must be installed (tools/install-deps)."""

import contextlib
import io
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import apertium  # noqa: E402
import standin  # noqa: E402
import test_standin as base  # noqa: E402

if shutil.which("apertium-wblank-mode") is None or not apertium.ApertiumEngine().pairs():
    sys.exit("test_apertium: Apertium and its language data are not installed; run tools/install-deps as root")

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
        self.assertIn("(translate, apertium eng-spa", log.getvalue())
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
            route = "+".join(apertium.ROUTES[pair])
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
        self.assertIn("apertium failed: eng-spa gave no answer within the time limit", log.getvalue())
        self.set_mode()
        self.assertIn("gatos", self.translated(CATS, "en|es"))

    def test_text_longer_than_the_bound_is_refused(self):
        r = self.post("cat " * (apertium.MAX_TEXT_BYTES // 4 + 1))
        self.assertEqual(r.status, 413)
        self.assertIn("gatos", self.translated(CATS, "en|es"))


# A stand-in engine speaking the pipelines' NUL protocol: it echoes each text, and
# misbehaves on a word: "boom" ends it, "sleepy" makes it wait without answering, "flood"
# makes it write without end.
ECHO = r"""
while IFS= read -r -d '' text; do
  case "$text" in
    *boom*) exit 3 ;;
    *sleepy*) sleep 30 ;;
    *flood*) yes ;;
  esac
  printf '%s\0' "$text"
done
"""


class EngineFaultTest(unittest.TestCase):
    def setUp(self):
        self.engine = apertium.ApertiumEngine(commands={"eng-spa": ECHO, "spa-eng": "exit 1"}, time_limit=2.0)
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
        self.engine.close()
        self.dir.cleanup()

    def post(self, text, pair="en%7Ces"):
        return base.StandinTest.post(self.client, text, pair)

    def test_failing_dying_flooding_and_hanging_engines_answer_500(self):
        r = self.post("a [plain] text")
        self.assertEqual((r.status, base.extract(r.body())), (200, "a [plain] text"))
        pipeline = self.engine._pipeline("eng-spa")
        for text in ("boom", "flood", "sleepy"):
            started = time.monotonic()
            with captured_log() as log:
                r = self.post(text)
            self.assertEqual(r.status, 500, text)
            self.assertLess(time.monotonic() - started, 10, text)
            self.assertIn("apertium failed: eng-spa", log.getvalue())
            self.assertIsNone(pipeline.proc, "the faulty pipeline must be gone")
            # The next request gets a fresh pipeline.
            self.assertEqual(base.extract(self.post("again").body()), "again")
        self.assertEqual(pipeline.starts, 4)
        # A pipeline that cannot start at all.
        self.assertEqual(self.post("hola", "es%7Cen").status, 500)

    def test_a_hanging_request_does_not_stop_the_others(self):
        hung = {}

        def hang():
            hung["status"] = self.post("sleepy").status

        thread = threading.Thread(target=hang)
        thread.start()
        time.sleep(0.2)
        # Another pair, and the phrasebook, answer while the engine's pipeline is stuck.
        self.assertEqual(base.extract(self.post("thank you", "en%7Cde").body()), "danke")
        thread.join(10)
        self.assertEqual(hung.get("status"), 500)
        self.assertEqual(base.extract(self.post("after").body()), "after")

    def test_closing_the_engine_ends_its_pipelines_and_their_requests(self):
        self.assertEqual(self.post("x").status, 200)
        pipeline = self.engine._pipeline("eng-spa")
        proc = pipeline.proc
        hung = {}
        thread = threading.Thread(target=lambda: hung.update(status=self.post("sleepy").status))
        thread.start()
        time.sleep(0.3)
        self.engine.close()
        thread.join(10)
        self.assertEqual(hung.get("status"), 500)
        self.assertIsNotNone(proc.poll())
        # The pipeline's own children are killed with it, but they are reaped by whoever
        # adopted them, which on a busy machine takes a moment: wait for the group to go.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            try:
                os.killpg(proc.pid, 0)
            except ProcessLookupError:
                break
            time.sleep(0.05)
        with self.assertRaises(ProcessLookupError):
            os.killpg(proc.pid, 0)
        # A closed engine starts no pipeline again.
        self.assertEqual(self.post("x").status, 500)
        self.assertIsNone(pipeline.proc)


class StreamFormatTest(unittest.TestCase):
    def test_round_trip_of_reserved_characters_and_line_breaks(self):
        text = "a\\b [c] ^d$ e/f @g <h> {i}\r\n\r\n\tj  k"
        stream = apertium.to_stream(text)
        self.assertEqual(stream, "a\\\\b \\[c\\] \\^d\\$ e\\/f \\@g \\<h\\> \\{i\\}[\r\n\r\n\t]j  k")
        self.assertEqual(apertium.from_stream(stream), text)
        # Word-bound blanks carry formatting of the engine's own: dropped.
        self.assertEqual(apertium.from_stream("[[t:b:1]]word[[/]] [x\\]y]"), "word x]y")


class LauncherTest(unittest.TestCase):
    def test_serve_with_apertium_warms_and_logs_the_engine(self):
        with tempfile.TemporaryDirectory() as d:
            port_file = os.path.join(d, "port")
            proc = subprocess.Popen([sys.executable, os.path.join(HERE, "serve.py"), "--port-file", port_file,
                                     "--engine", "apertium"], stderr=subprocess.PIPE)
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
            finally:
                proc.send_signal(signal.SIGTERM)
                _, err = proc.communicate(timeout=30)
            self.assertEqual(proc.returncode, 0)
            log = err.decode()
            self.assertIn("real translations (Apertium): en->es en->fr en->it en->pt es->en fr->en it->en pt->en",
                          log)
            self.assertIn("phrasebook: en->de de->en de->fr fr->de", log)
            self.assertIn("apertium eng-spa", log)


if __name__ == "__main__":
    unittest.main()
