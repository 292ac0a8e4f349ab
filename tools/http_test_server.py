#!/usr/bin/env python3
"""A small HTTP/1.1 server for the tests of the page fetch (Python 3 standard library only).

It binds 127.0.0.1 on the given port (0: a free one) and prints the port as its first line of
standard output; with --port-file it also writes the port to that file (atomically, last of all),
followed by a second line with the port of a "black hole" that never completes a connection,
so that a program that cannot read the server's output (a Windows test under Wine) can wait for it,
and connect time-outs can be tested.

Every request except the control ones is recorded verbatim (request line and header lines, up to
and including the blank line) and appended to the --record file before the answer is sent, so
a client that has finished its fetch finds its requests there. --log FILE appends each request
line alone, exactly as it arrived, one per line: what a person reads to see how an address went
out (its bytes beyond ASCII, if any, stay as they came).

A request in the form a proxy receives ("GET http://name:port/path HTTP/1.1") is answered like
its path, so the server can stand in for a proxy and show the host name a client asked for.

Paths (query parameters are percent-decoded to bytes, so a body may be in any encoding):

  /page?body=TEXT          answer 200 with TEXT as the body
        &file=NAME         ... or with the bytes of NAME in the --root folder
        &repeat=N          ... repeated N times (streamed, never built whole)
        &status=CODE       answer with this status instead of 200
        &mode=length       Content-Length (the default)
        &mode=chunked      chunked transfer encoding (chunks of &chunk=N bytes, default 1000)
        &mode=close        no Content-Length: the body ends when the connection is closed
        &cut=N             announce the whole body but close the connection after N body bytes
        &stall=N           send N body bytes, then wait &stall_secs=S (default 20) before the rest
        &delay=S           wait S seconds before answering at all (a server slow to answer)
        &endless=1         repeat the body for ever (with mode=close: a body that never ends)
        &length=N          announce Content-Length N whatever is sent (a 2 GB promise, say)
        &drip=S            wait S seconds after every piece of &chunk bytes (a server that trickles)
        &content_type=T    Content-Type T instead of text/html
        &etag=E            send ETag E; a request whose If-None-Match is E is answered 304
        &last_modified=D   send Last-Modified D; a request whose If-Modified-Since is D (and
                           that has no other If-None-Match) is answered 304
        &retry_after=R     send Retry-After R
  /files/NAME?...           the same as /page?file=NAME&... (an address that ends in a file name;
                           NAME is percent-decoded to the bytes of the file's name)
  /redirect?to=URL&code=302   redirect (301, 302, 303, 307 or 308) to URL (absolute or a path)
  /redirect?loop=1         redirect to this very address, for ever
  /redirect?chain=N&to=URL redirect N times in all (chain=N-1, N-2, ..., then URL)
  /garbage?bytes=N&seed=S  no HTTP at all: N random bytes (default 4096), then close;
          &forever=1       ... or random bytes until the client goes away
  /auth?user=U&password=P&body=TEXT   answer 401 with a Basic challenge until the request
                           carries those credentials, then 200 with TEXT
  /_quit                   stop the server (not recorded)

--tls-cert/--tls-key serve HTTPS with that certificate. --tls-auto DIR makes a throw-away
certificate authority (DIR/ca.pem, DIR/ca.der) and a certificate for 127.0.0.1 and localhost
signed by it with openssl, then serves HTTPS with it. Like most real servers it offers HTTP/2 and
HTTP/1.1 (ALPN "h2", "http/1.1") but speaks only HTTP/1.1; --alpn-record FILE appends the protocol
each TLS connection agreed on ("none" without ALPN) to FILE, one line per connection. A client that
chose h2 sends the HTTP/2 preface, which is recorded as a request head starting "PRI * HTTP/2.0".

The server ends itself after --lifetime seconds (default 600) or --idle seconds without a
request (default 180), so a test that dies cannot leave it running.
"""

import argparse
import itertools
import os
import random
import socket
import socketserver
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

REASONS = {200: "OK", 301: "Moved Permanently", 302: "Found", 303: "See Other",
           304: "Not Modified", 307: "Temporary Redirect", 308: "Permanent Redirect",
           401: "Unauthorized", 403: "Forbidden", 404: "Not Found", 429: "Too Many Requests",
           500: "Internal Server Error", 503: "Service Unavailable"}

state = {"last": time.monotonic(), "lock": threading.Lock()}


def make_certificates(folder):
    """A CA and a server certificate for 127.0.0.1/localhost signed by it, made with openssl."""
    os.makedirs(folder, exist_ok=True)

    def run(*args):
        subprocess.run(["openssl", *args], check=True, cwd=folder,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    run("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
        "-days", "2", "-subj", "/CN=Zellora Test CA %d" % os.getpid(),
        "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")
    run("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "server.key", "-out", "server.csr",
        "-subj", "/CN=localhost")
    with open(os.path.join(folder, "server.ext"), "w") as f:
        f.write("basicConstraints=CA:FALSE\n"
                "keyUsage=digitalSignature\n"
                "extendedKeyUsage=serverAuth\n"
                "subjectAltName=DNS:localhost,IP:127.0.0.1\n")
    run("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
        "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext")
    return os.path.join(folder, "server.pem"), os.path.join(folder, "server.key")


def query_bytes(query):
    """The query as a dict of name -> bytes (percent-decoded, any encoding)."""
    result = {}
    for part in query.split(b"&"):
        if not part:
            continue
        name, _, value = part.partition(b"=")
        result[urllib.parse.unquote_to_bytes(name.replace(b"+", b" ")).decode("latin-1")] = \
            urllib.parse.unquote_to_bytes(value.replace(b"+", b" "))
    return result


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.conn = self.request
        self.buffer = b""
        self.plain = True
        if self.server.tls_context is not None:
            # A plain request on the TLS port may only stop the server (a test helper that has no
            # TLS client of its own does so); everything else must come through TLS.
            try:
                first = self.request.recv(1, socket.MSG_PEEK)
            except OSError:
                first = b""
            if first == b"G":
                return
            self.plain = False
            try:
                self.conn = self.server.tls_context.wrap_socket(self.request, server_side=True)
            except (ssl.SSLError, OSError):
                self.conn = None  # the client refused our certificate
                return
            if self.server.alpn_record:
                with state["lock"], open(self.server.alpn_record, "a") as f:
                    f.write((self.conn.selected_alpn_protocol() or "none") + "\n")

    def read_head(self):
        while b"\r\n\r\n" not in self.buffer:
            data = self.conn.recv(65536)
            if not data:
                return None
            self.buffer += data
            if len(self.buffer) > 1 << 20:
                return None
        end = self.buffer.index(b"\r\n\r\n") + 4
        head, self.buffer = self.buffer[:end], self.buffer[end:]
        return head

    def handle(self):
        if self.conn is None:
            return
        try:
            while True:
                head = self.read_head()
                if head is None:
                    return
                with state["lock"]:
                    state["last"] = time.monotonic()
                if not self.answer(head):
                    return
        except (OSError, ssl.SSLError):
            return

    def record(self, head):
        if self.server.record_file:
            with state["lock"], open(self.server.record_file, "ab") as f:
                f.write(head)
        if self.server.log_file:
            with state["lock"], open(self.server.log_file, "ab") as f:
                f.write(head.split(b"\r\n", 1)[0] + b"\n")

    def send(self, data):
        self.conn.sendall(data)

    def send_head(self, status, headers):
        lines = ["HTTP/1.1 %d %s" % (status, REASONS.get(status, "Status"))]
        lines += ["%s: %s" % h for h in headers]
        self.send(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))

    def answer(self, head):
        """Answers one request; False when the connection is to be closed."""
        request_line = head.split(b"\r\n", 1)[0]
        parts = request_line.split(b" ")
        target = parts[1] if len(parts) >= 2 else b"/"
        if target.lower().startswith((b"http://", b"https://")):
            # Proxy form: answered like the path it names.
            rest = target.split(b"//", 1)[1]
            slash = min([i for i in (rest.find(b"/"), rest.find(b"?")) if i >= 0] or [len(rest)])
            target = rest[slash:] if rest[slash:].startswith(b"/") else b"/" + rest[slash:]
        path, _, query = target.partition(b"?")
        path = path.decode("latin-1")
        q = query_bytes(query)
        if path == "/_quit":
            self.send_head(200, [("Content-Length", "0"), ("Connection", "close")])
            self.conn.close()
            os._exit(0)
        if self.plain and self.server.tls_context is not None:
            return False
        self.record(head)
        headers = {}
        for line in head.split(b"\r\n")[1:]:
            if b":" in line:
                name, _, value = line.partition(b":")
                headers[name.strip().lower().decode("latin-1")] = value.strip()

        if path == "/redirect":
            code = int(q.get("code", b"302"))
            location = q.get("to", b"/").decode("latin-1")
            if "loop" in q:
                location = target.decode("latin-1")  # for ever to itself
            elif "chain" in q and int(q["chain"]) > 1:
                rest = dict(q, chain=str(int(q["chain"]) - 1).encode())
                location = "/redirect?" + urllib.parse.urlencode(
                    {k: v.decode("latin-1") for k, v in rest.items()})
            body = b"moved\n"
            self.send_head(code, [("Location", location), ("Content-Type", "text/html"),
                                  ("Content-Length", str(len(body)))])
            self.send(body)
            return True

        if path == "/garbage":
            # Random bytes where the status line should be; a seed makes them repeatable.
            rng = random.Random(int(q.get("seed", b"1")))
            left = int(q.get("bytes", b"4096"))
            forever = "forever" in q
            while forever or left > 0:
                n = 65536 if forever else min(65536, left)
                self.send(rng.randbytes(n))
                left -= n
            self.conn.close()
            return False

        if path == "/auth":
            import base64
            expected = b"Basic " + base64.b64encode(q.get("user", b"") + b":" + q.get("password", b""))
            if headers.get("authorization") != expected:
                body = b"<html><body>authorization required</body></html>\n"
                self.send_head(401, [("WWW-Authenticate", 'Basic realm="zellora"'),
                                     ("Content-Type", "text/html"),
                                     ("Content-Length", str(len(body)))])
                self.send(body)
                return True
            return self.send_page({"body": q.get("body", b"welcome\n")}, headers)

        if path == "/page":
            return self.send_page(q, headers)

        if path.startswith("/files/"):
            q["file"] = urllib.parse.unquote_to_bytes(path[len("/files/"):].encode("latin-1"))
            return self.send_page(q, headers)

        body = b"<html><body>not found</body></html>\n"
        self.send_head(404, [("Content-Type", "text/html"), ("Content-Length", str(len(body)))])
        self.send(body)
        return True

    def send_page(self, q, request_headers=None):
        request_headers = request_headers or {}
        validators = []
        if "etag" in q:
            validators.append(("ETag", q["etag"].decode("latin-1")))
        if "last_modified" in q:
            validators.append(("Last-Modified", q["last_modified"].decode("latin-1")))
        none_match = request_headers.get("if-none-match")
        modified_since = request_headers.get("if-modified-since")
        if none_match is not None:
            fresh = "etag" in q and none_match == q["etag"]
        else:
            fresh = modified_since is not None and modified_since == q.get("last_modified")
        if fresh:
            self.send_head(304, validators)
            return True
        if "file" in q:
            # The name's bytes as they are: a file may have a Japanese name (UTF-8 on Linux).
            name = os.path.basename(q["file"])
            try:
                with open(os.path.join(os.fsencode(self.server.root), name), "rb") as f:
                    piece = f.read()
            except OSError:
                body = b"<html><body>no such file</body></html>\n"
                self.send_head(404, [("Content-Type", "text/html"), ("Content-Length", str(len(body)))])
                self.send(body)
                return True
        else:
            piece = q.get("body", b"")
        repeat = int(q.get("repeat", b"1"))
        total = len(piece) * repeat
        status = int(q.get("status", b"200"))
        mode = q.get("mode", b"length").decode("latin-1")
        cut = int(q["cut"]) if "cut" in q else None
        stall = int(q["stall"]) if "stall" in q else None
        stall_secs = float(q.get("stall_secs", b"20"))
        chunk = max(1, int(q.get("chunk", b"1000")))
        endless = "endless" in q and piece != b""
        drip = float(q["drip"]) if "drip" in q else None

        if "delay" in q:
            time.sleep(float(q["delay"]))
        headers = [("Content-Type", q.get("content_type", b"text/html").decode("latin-1"))] + validators
        if "retry_after" in q:
            headers.append(("Retry-After", q["retry_after"].decode("latin-1")))
        if mode == "chunked":
            headers.append(("Transfer-Encoding", "chunked"))
        elif mode == "close":
            headers.append(("Connection", "close"))
        else:
            headers.append(("Content-Length", q.get("length", str(total).encode()).decode("latin-1")))
        self.send_head(status, headers)

        def pieces():
            # The body in pieces of at most `chunk` bytes (or 64 KiB), never built whole.
            size = chunk if mode == "chunked" or drip is not None else 65536
            pending = b""
            for _ in (itertools.count() if endless else range(repeat)):
                pending += piece
                while len(pending) >= size:
                    yield pending[:size]
                    pending = pending[size:]
            if pending:
                yield pending

        sent = 0
        stalled = False
        for data in pieces():
            if cut is not None and sent + len(data) > cut:
                data = data[:cut - sent]
                self.write_body(data, mode)
                self.conn.close()
                return False
            if stall is not None and not stalled and sent + len(data) > stall:
                first = data[:stall - sent]
                self.write_body(first, mode)
                time.sleep(stall_secs)
                stalled = True
                data = data[len(first):]
                sent += len(first)
            self.write_body(data, mode)
            sent += len(data)
            if drip is not None:
                time.sleep(drip)
        if mode == "chunked":
            self.send(b"0\r\n\r\n")
        if mode == "close":
            self.conn.close()
            return False
        return True

    def write_body(self, data, mode):
        if not data:
            return
        if mode == "chunked":
            self.send(b"%x\r\n" % len(data) + data + b"\r\n")
        else:
            self.send(data)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description="HTTP test server for the page fetch tests")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--record", help="append every request head to this file")
    parser.add_argument("--log", help="append every request line, as it arrived, to this file")
    parser.add_argument("--root", default=".", help="folder of the files served by /page?file=")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    parser.add_argument("--tls-auto", metavar="DIR")
    parser.add_argument("--alpn-record", help="append the protocol of every TLS connection to this file")
    parser.add_argument("--lifetime", type=float, default=600)
    parser.add_argument("--idle", type=float, default=180)
    args = parser.parse_args()

    if args.port_file:
        # Whoever reads the port from a file does not read our output; it may not even be able to.
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)

    cert, key = args.tls_cert, args.tls_key
    if args.tls_auto:
        cert, key = make_certificates(args.tls_auto)

    server = Server(("127.0.0.1", args.port), Handler)
    server.record_file = args.record
    server.log_file = args.log
    server.root = args.root
    server.tls_context = None
    server.alpn_record = args.alpn_record
    if cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        context.set_alpn_protocols(["h2", "http/1.1"])
        server.tls_context = context

    # A port that never completes a connection: its one-entry queue is filled by ourselves, so
    # the system drops every further attempt unanswered and a client's connect time-out must end it.
    blackhole = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    blackhole.bind(("127.0.0.1", 0))
    blackhole.listen(0)
    fillers = []
    for _ in range(3):
        filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        filler.setblocking(False)
        try:
            filler.connect(blackhole.getsockname())
        except BlockingIOError:
            pass
        fillers.append(filler)

    port = server.server_address[1]
    if args.record:
        open(args.record, "ab").close()
    print(port, flush=True)
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n%d\n" % (port, blackhole.getsockname()[1]))
        os.replace(tmp, args.port_file)

    started = time.monotonic()

    def watchdog():
        while True:
            time.sleep(1)
            now = time.monotonic()
            with state["lock"]:
                idle = now - state["last"]
            if now - started > args.lifetime or idle > args.idle:
                os._exit(0)

    threading.Thread(target=watchdog, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
