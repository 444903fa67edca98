#!/usr/bin/env python3
"""The shell's `read` beside `w3m -dump`, on pages served over HTTP the same way to both.

1. Time from Enter on `read` to the first screen of a 100 KB page (the page already
   loaded in the shell), beside the time `w3m -dump` takes for the same page.
2. How much of w3m's text `read` keeps: the words of w3m's dump found in ours (each as
   often as both hold it), over 20 HTML pages of /usr/share/doc (w3m's own left out).

Usage: bench/read/read_bench.py [build/normal/host/uicontrol-shell]
"""
import collections
import functools
import glob
import http.server
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SHELL = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/normal/host/uicontrol-shell")
RUNS = 5


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(folder):
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, "http://127.0.0.1:%d/" % server.server_address[1]


def big_page(path):
    parts = ["<!DOCTYPE html><html><head><meta charset='utf-8'><title>Big page</title></head><body>",
             "<h1>Big page</h1>"]
    i = 0
    while sum(len(p) for p in parts) < 100 * 1024:
        i += 1
        parts.append("<h2>Section %d</h2><p>Paragraph %d holds some words about nothing in particular, "
                     "with <a href='#s%d'>a link</a> and <em>some emphasis</em> to lay out.</p>"
                     "<ol><li><p>First point of %d.</p></li><li>Second point</li></ol>"
                     "<table><tr><td>cell a%d</td><td>cell b%d</td></tr></table>" % (i, i, i, i, i, i))
    parts.append("</body></html>")
    with open(path, "w") as f:
        f.write("".join(parts))


class Shell:
    """The shell with commands piped in and its plain output read as it comes."""

    def __init__(self, profile, served):
        self.proc = subprocess.Popen([SHELL, "--profile", profile, "--serve", served],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.out = b""
        os.set_blocking(self.proc.stdout.fileno(), False)

    def type(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()

    def wait_for(self, text, start=0, seconds=120):
        deadline = time.monotonic() + seconds
        while text.encode() not in self.out[start:]:
            if time.monotonic() > deadline:
                raise RuntimeError("no %r in the shell's output:\n%s" % (text, self.out[-2000:].decode(errors="replace")))
            chunk = self.proc.stdout.read()
            if chunk:
                self.out += chunk
            else:
                time.sleep(0.002)
        return self.out.find(text.encode(), start)

    def quit(self):
        self.type("quit")
        self.proc.stdin.close()
        self.proc.wait(60)


def words(text):
    return re.findall(r"[^\W_]+", text.lower())


def main():
    if not shutil.which("w3m"):
        sys.exit("w3m is not installed (bash scripts/setup.sh installs it)")
    work = tempfile.mkdtemp(prefix="read_bench_")
    served = os.path.join(work, "pages")
    os.makedirs(served)
    big_page(os.path.join(served, "big.html"))
    docs = sorted(p for p in glob.glob("/usr/share/doc/**/*.html", recursive=True)
                  if os.path.isfile(p) and os.path.getsize(p) > 2000 and "/w3m/" not in p)
    step = max(1, len(docs) // 20)
    docs = docs[::step][:20]
    for i, doc in enumerate(docs):
        shutil.copy(doc, os.path.join(served, "doc%02d.html" % i))
    server, base = serve(served)
    shell = Shell(os.path.join(work, "profile"), os.path.join(ROOT, "pages"))
    try:
        shell.wait_for("Type help")
        # 1. The first screen of the big page, the page already loaded.
        ours = []
        for run in range(RUNS):
            start = len(shell.out)
            shell.type("open %sbig.html" % base)
            shell.wait_for("address: %sbig.html" % base, start)
            start = len(shell.out)
            began = time.monotonic()
            shell.type("read")
            shell.wait_for("Big page\n=", start)
            ours.append(time.monotonic() - began)
            shell.wait_for("cell a", start)
            shell.type("close")
        theirs = []
        for run in range(RUNS):
            began = time.monotonic()
            subprocess.run(["w3m", "-dump", base + "big.html"], stdout=subprocess.DEVNULL, check=True)
            theirs.append(time.monotonic() - began)
        print("100 KB page, median of %d: read %.0f ms to the first screen, w3m -dump %.0f ms" %
              (RUNS, statistics.median(ours) * 1000, statistics.median(theirs) * 1000))

        # 2. The words of w3m's dump that our text keeps.
        kept_total = all_total = 0
        for i, doc in enumerate(docs):
            url = "%sdoc%02d.html" % (base, i)
            dump = subprocess.run(["w3m", "-dump", "-cols", "100", url], stdout=subprocess.PIPE, check=True).stdout
            start = len(shell.out)
            shell.type("open " + url)
            shell.wait_for("address: " + url, start)
            start = len(shell.out)
            shell.type("read")
            shell.type("close")
            end = shell.wait_for("> close\n", start)
            ours_text = shell.out[start:end].decode(errors="replace")
            # Each word counts as often as both texts hold it.
            mine = collections.Counter(words(ours_text))
            theirs_words = words(dump.decode(errors="replace"))
            kept = sum(min(n, mine[w]) for w, n in collections.Counter(theirs_words).items())
            kept_total += kept
            all_total += len(theirs_words)
            print("  %5.1f%% of %5d words  %s" % (100.0 * kept / max(1, len(theirs_words)), len(theirs_words), doc))
        print("words of w3m -dump kept by read over %d pages: %.1f%% (%d of %d)" %
              (len(docs), 100.0 * kept_total / max(1, all_total), kept_total, all_total))
    finally:
        shell.quit()
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
