#!/usr/bin/env python3
"""The Apertium engine behind the stand-in translation service: real translations, offline.

Each Apertium mode (eng-spa, spa-eng, es-fr, ...) runs as one long-lived pipeline of
Apertium's own programs in null-flush mode: a text goes in followed by a NUL byte, and the
pipeline answers with its translation followed by a NUL byte. The pipelines start on first
use (or at warm-up) and stay, so a sentence costs milliseconds instead of the second a
fresh pipeline needs to load its dictionaries.

English and Spanish translate directly; French, Italian and Portuguese go through Spanish,
the language Debian's Apertium data pairs them with. German has no Apertium data in Debian:
its pairs are not in ROUTES and the service answers them from the phrasebook.

A pipeline that fails, dies, floods or does not answer within the time limit is killed and
started afresh by the next request; the request that met the fault gets an EngineError.

    apertium.py --pairs    prints which pairs are real and which are phrasebook; exit
                           status 0 when Apertium can translate at least one pair
"""

import os
import select
import shutil
import signal
import subprocess
import sys
import threading
import time

MODES_DIR = "/usr/share/apertium/modes"

# The Apertium modes a pair goes through, in order.
ROUTES = {
    "en|es": ("eng-spa",),
    "es|en": ("spa-eng",),
    "en|fr": ("eng-spa", "es-fr"),
    "en|it": ("eng-spa", "spa-ita"),
    "en|pt": ("eng-spa", "es-pt"),
    "fr|en": ("fr-es", "spa-eng"),
    "it|en": ("ita-spa", "spa-eng"),
    "pt|en": ("pt-es", "spa-eng"),
}
ALL_PAIRS = ("en|de", "en|es", "en|fr", "en|it", "en|pt", "de|en", "de|fr", "es|en", "fr|en", "fr|de",
             "it|en", "pt|en")

# The program sends at most 2048 bytes of text; anything much longer is not the program.
MAX_TEXT_BYTES = 8192
# A translation is about as long as its source; a pipeline writing far more has gone wrong.
MAX_ANSWER_BYTES = 256 * 1024
# Seconds one request may take, waiting for its pipeline included.
TIME_LIMIT = 10.0
# Seconds to wait for a killed pipeline to be gone, and for the mode compiler.
STOP_WAIT = 5.0

# Characters the Apertium stream format reserves; a backslash makes them plain text.
_RESERVED = set("\\[]^$/@<>{}")


class EngineError(Exception):
    """The engine could not translate this text; the message is for the service's log."""


class TextTooLong(EngineError):
    pass


def to_stream(text):
    """Text as an Apertium stream: reserved characters escaped, every run of blanks holding a
    line break kept whole in a superblank, so lines come back where they were."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c.isspace():
            end = i
            while end < len(text) and text[end].isspace():
                end += 1
            run = text[i:end]
            if "\n" in run or "\r" in run:
                out.append("[" + run + "]")
            else:
                out.append(run)
            i = end
            continue
        out.append("\\" + c if c in _RESERVED else c)
        i += 1
    return "".join(out)


def from_stream(stream):
    """Plain text from a pipeline's output: escapes undone, superblanks opened, word-bound
    blanks (formatting a pipeline may attach to words) dropped."""
    out = []
    i = 0
    n = len(stream)
    while i < n:
        c = stream[i]
        if c == "\\" and i + 1 < n:
            out.append(stream[i + 1])
            i += 2
        elif c == "[":
            wordbound = stream.startswith("[[", i)
            i += 2 if wordbound else 1
            content = []
            while i < n:
                if stream[i] == "\\" and i + 1 < n:
                    content.append(stream[i + 1])
                    i += 2
                elif stream.startswith("]]" if wordbound else "]", i):
                    i += 2 if wordbound else 1
                    break
                else:
                    content.append(stream[i])
                    i += 1
            if not wordbound:
                out.append("".join(content))
        else:
            out.append(c)
            i += 1
    return "".join(out)


def _mode_programs(command):
    """The program names of a pipeline command."""
    names = []
    for stage in command.split("|"):
        words = stage.split()
        if words:
            names.append(words[0])
    return names


def compile_mode(modes_dir, mode):
    """The null-flush shell pipeline of a mode, or None when the mode or a program of it is
    missing."""
    path = os.path.join(modes_dir, mode + ".mode")
    if not os.path.isfile(path) or shutil.which("apertium-wblank-mode") is None:
        return None
    try:
        result = subprocess.run(["apertium-wblank-mode", "-z", path], capture_output=True, timeout=STOP_WAIT)
    except (OSError, subprocess.TimeoutExpired):
        return None
    command = result.stdout.decode("utf-8", "replace").strip()
    if result.returncode != 0 or not command:
        return None
    if any(shutil.which(program) is None for program in _mode_programs(command)):
        return None
    return command


class Pipeline:
    """One long-lived pipeline, used by one request at a time."""

    def __init__(self, name, command):
        self.name = name
        self.command = command
        self.lock = threading.Lock()
        self.proc = None
        self.starts = 0
        self.closed = False

    def _start(self):
        env = dict(os.environ, LC_ALL="C.UTF-8")
        # $1 of a mode is the generator's option: -n leaves unknown words unmarked. $2 is the
        # tagger's extra option, none. A session of its own lets a kill take every stage.
        self.proc = subprocess.Popen(["bash", "-c", self.command, "bash", "-n", ""], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env,
                                     start_new_session=True)
        self.starts += 1

    def _kill(self):
        proc, self.proc = self.proc, None
        if proc is None:
            return
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except OSError:
            pass
        for stream in (proc.stdin, proc.stdout):
            try:
                stream.close()
            except OSError:
                pass
        try:
            proc.wait(timeout=STOP_WAIT)
        except subprocess.TimeoutExpired:
            pass

    def close(self):
        self.closed = True
        # Kill first, then take the lock: a request stuck in the pipeline meets its end at
        # once and lets go, instead of holding the server's end up until its deadline.
        proc = self.proc
        if proc is not None:
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except OSError:
                pass
        if self.lock.acquire(timeout=STOP_WAIT):
            try:
                self._kill()
            finally:
                self.lock.release()

    def run(self, data, deadline):
        """The pipeline's answer to data (bytes without NUL), or EngineError."""
        if not self.lock.acquire(timeout=max(0.0, deadline - time.monotonic())):
            raise EngineError("%s busy past the time limit" % self.name)
        try:
            if self.closed:
                raise EngineError("%s closed" % self.name)
            if self.proc is None or self.proc.poll() is not None:
                self._kill()
                try:
                    self._start()
                except OSError as e:
                    raise EngineError("%s could not start (%s)" % (self.name, e))
            try:
                return self._exchange(data + b"\0", deadline)
            except EngineError:
                self._kill()
                raise
        finally:
            self.lock.release()

    def _exchange(self, data, deadline):
        stdin = self.proc.stdin.fileno()
        stdout = self.proc.stdout.fileno()
        # poll, not select: a busy server's descriptors may lie above select's limit.
        poller = select.poll()
        poller.register(stdout, select.POLLIN)
        poller.register(stdin, select.POLLOUT)
        answer = b""
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise EngineError("%s gave no answer within the time limit" % self.name)
            events = dict(poller.poll(left * 1000))
            readable = events.get(stdout, 0) & (select.POLLIN | select.POLLHUP | select.POLLERR)
            writable = data and events.get(stdin, 0) & (select.POLLOUT | select.POLLERR | select.POLLHUP)
            if writable:
                try:
                    # No more than the pipe is sure to take: a stage that stops reading
                    # must not block this write past the deadline.
                    written = os.write(stdin, data[:select.PIPE_BUF])
                except OSError as e:
                    raise EngineError("%s stopped reading (%s)" % (self.name, e))
                data = data[written:]
                if not data:
                    poller.unregister(stdin)
            if readable:
                piece = os.read(stdout, 65536)
                if not piece:
                    try:
                        status = self.proc.wait(timeout=0.5)
                    except subprocess.TimeoutExpired:
                        status = "unknown"
                    raise EngineError("%s ended (status %s)" % (self.name, status))
                answer += piece
                end = answer.find(b"\0")
                if end >= 0:
                    return answer[:end]
                if len(answer) > MAX_ANSWER_BYTES:
                    raise EngineError("%s answered more than %d bytes" % (self.name, MAX_ANSWER_BYTES))


class ApertiumEngine:
    """Translates through Apertium's pipelines. commands maps a mode to its shell pipeline
    (tests give their own); by default each mode's pipeline comes from the installed data."""

    def __init__(self, modes_dir=MODES_DIR, commands=None, time_limit=TIME_LIMIT):
        self.modes_dir = modes_dir
        self.time_limit = time_limit
        self._lock = threading.Lock()
        self._pipelines = {}
        self._missing = set()
        if commands is not None:
            for mode, command in commands.items():
                self._pipelines[mode] = Pipeline(mode, command)
            self._missing = {mode for route in ROUTES.values() for mode in route} - set(commands)

    def _pipeline(self, mode):
        with self._lock:
            if mode in self._pipelines:
                return self._pipelines[mode]
            if mode in self._missing:
                return None
            command = compile_mode(self.modes_dir, mode)
            if command is None:
                self._missing.add(mode)
                return None
            self._pipelines[mode] = Pipeline(mode, command)
            return self._pipelines[mode]

    def route(self, pair):
        """The modes a pair goes through, or None when Apertium cannot translate it here."""
        modes = ROUTES.get(pair.lower())
        if modes is None or any(self._pipeline(mode) is None for mode in modes):
            return None
        return modes

    def pairs(self):
        return [pair for pair in ALL_PAIRS if self.route(pair) is not None]

    def translate(self, text, pair, time_limit=None):
        """The translation of text, or None when the pair is not Apertium's; EngineError when
        the engine fails on it or runs past the limit."""
        modes = self.route(pair)
        if modes is None:
            return None
        text = text.replace("\0", "")
        if len(text.encode("utf-8")) > MAX_TEXT_BYTES:
            raise TextTooLong("text longer than %d bytes" % MAX_TEXT_BYTES)
        core = text.strip()
        if not core:
            return text
        lead = text[:len(text) - len(text.lstrip())]
        trail = text[len(text.rstrip()):]
        deadline = time.monotonic() + (self.time_limit if time_limit is None else time_limit)
        for mode in modes:
            # A trailing blank lets the last word leave the analyser before the flush.
            answer = self._pipeline(mode).run((to_stream(core) + " ").encode("utf-8"), deadline)
            core = from_stream(answer.decode("utf-8", "replace")).strip()
        return lead + core + trail

    def warm(self):
        """Starts every pipeline and passes a word through it, so the first request is fast."""
        for mode in sorted({mode for route in ROUTES.values() for mode in route}):
            pipeline = self._pipeline(mode)
            if pipeline is None:
                continue
            try:
                pipeline.run(b"warm ", time.monotonic() + self.time_limit)
            except EngineError:
                pass

    def close(self):
        with self._lock:
            pipelines = list(self._pipelines.values())
        for pipeline in pipelines:
            pipeline.close()


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
