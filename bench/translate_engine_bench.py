#!/usr/bin/env python3
"""Latency of the stand-in translation service with the Apertium engine: 20 one-sentence
requests per pair, each a whole HTTP exchange through the proxy front with the program's
form body, after the pair's first (cold) request. Prints the cold time and the median,
fastest and slowest of the 20.

    tools/with-apy bench/translate_engine_bench.py [PAIR ...]   (default: en|es en|fr es|en it|en)

The engine is Apertium's own server (APy), which tools/with-apy starts.
"""

import os
import socket
import statistics
import sys
import tempfile
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "standin"))

import standin  # noqa: E402

SENTENCES = {
    "en": ["The cats are sleeping in the garden.", "My sister bought a new car yesterday.",
           "We will travel to the mountains next summer.", "The children are playing football in the park.",
           "Please close the window before you leave.", "The old bridge was built two hundred years ago.",
           "He reads the newspaper every morning.", "The museum opens at nine o'clock.",
           "Our neighbours have three dogs and a cat.", "The train to the city is late again.",
           "She writes letters to her grandmother.", "The river flows slowly through the valley.",
           "I would like a cup of coffee with milk.", "The teacher explained the lesson twice.",
           "They found an old map in the attic.", "The shop sells fresh bread and cheese.",
           "It rained all night in the village.", "The doctor works at the hospital near the station.",
           "My brother plays the guitar very well.", "The students are waiting for the bus."],
    "es": ["Los gatos duermen en el jardín.", "Mi hermana compró un coche nuevo ayer.",
           "Viajaremos a las montañas el próximo verano.", "Los niños juegan al fútbol en el parque.",
           "Cierra la ventana antes de salir, por favor.", "El puente viejo fue construido hace doscientos años.",
           "Él lee el periódico cada mañana.", "El museo abre a las nueve.",
           "Nuestros vecinos tienen tres perros y un gato.", "El tren a la ciudad llega tarde otra vez.",
           "Ella escribe cartas a su abuela.", "El río fluye despacio por el valle.",
           "Quisiera una taza de café con leche.", "El profesor explicó la lección dos veces.",
           "Encontraron un mapa viejo en el desván.", "La tienda vende pan fresco y queso.",
           "Llovió toda la noche en el pueblo.", "El médico trabaja en el hospital cerca de la estación.",
           "Mi hermano toca muy bien la guitarra.", "Los estudiantes esperan el autobús."],
    "it": ["I gatti dormono nel giardino.", "Mia sorella ha comprato una macchina nuova ieri.",
           "Viaggeremo in montagna la prossima estate.", "I bambini giocano a calcio nel parco.",
           "Chiudi la finestra prima di uscire.", "Il vecchio ponte fu costruito duecento anni fa.",
           "Lui legge il giornale ogni mattina.", "Il museo apre alle nove.",
           "I nostri vicini hanno tre cani e un gatto.", "Il treno per la città è di nuovo in ritardo.",
           "Lei scrive lettere alla nonna.", "Il fiume scorre lentamente nella valle.",
           "Vorrei una tazza di caffè con latte.", "L'insegnante ha spiegato la lezione due volte.",
           "Hanno trovato una vecchia mappa in soffitta.", "Il negozio vende pane fresco e formaggio.",
           "Ha piovuto tutta la notte nel villaggio.", "Il medico lavora all'ospedale vicino alla stazione.",
           "Mio fratello suona molto bene la chitarra.", "Gli studenti aspettano l'autobus."],
}


def program_body(text, pair):
    safe = set(b"-.=0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")
    encoded = "".join("+" if b == 32 else chr(b) if b in safe else "%%%02X" % b for b in text.encode("utf-8"))
    return ("text=" + encoded + "&langpair=" + urllib.parse.quote(pair, safe="") + "&hl=en&ie=UTF-8&oe=UTF-8").encode()


def request_ms(port, text, pair):
    body = program_body(text, pair)
    request = ("POST http://translate.google.com/translate_t HTTP/1.0\r\nHost: translate.google.com\r\n"
               "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: %d\r\n\r\n"
               % len(body)).encode() + body
    started = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
        s.sendall(request)
        answer = b""
        while True:
            piece = s.recv(65536)
            if not piece:
                break
            answer += piece
    elapsed = (time.perf_counter() - started) * 1000
    if not answer.startswith(b"HTTP/1.1 200") or b"result_box" not in answer:
        raise SystemExit("bench: %s failed: %r" % (pair, answer[:200]))
    return elapsed


def main():
    pairs = sys.argv[1:] or ["en|es", "en|fr", "es|en", "it|en"]
    with tempfile.TemporaryDirectory() as d:
        server = standin.StandinServer(0, os.path.join(d, "control.json"), engine="apertium")
        thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.05})
        thread.start()
        try:
            engine = server.apertium_engine()
            for pair in pairs:
                route = engine.route(pair)
                if route is None:
                    print("%-6s not an Apertium pair here" % pair)
                    continue
                sentences = SENTENCES[pair.split("|")[0]]
                cold = request_ms(server.port, "Good morning.", pair)
                times = [request_ms(server.port, s, pair) for s in sentences]
                print("%-6s via %-16s cold %6.0f ms   median %5.1f ms  (fastest %.1f, slowest %.1f; %d sentences)"
                      % (pair, "+".join(route), cold, statistics.median(times), min(times), max(times), len(times)))
        finally:
            server.shutdown()
            server.server_close()
            thread.join()


if __name__ == "__main__":
    main()
