#!/usr/bin/env python3
"""An RFC 3161 timestamp server on the loopback, for the signing test: each request is answered by
`openssl ts -reply` with a throwaway timestamping key. It writes its address to PORT_FILE once it
listens, and stops by itself after SECONDS.

    timestamp_server.py CONFIG PORT_FILE SECONDS
"""
import http.server
import os
import subprocess
import sys
import tempfile
import threading


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with tempfile.TemporaryDirectory() as work:
            request = os.path.join(work, "request.tsq")
            reply = os.path.join(work, "reply.tsr")
            with open(request, "wb") as file:
                file.write(query)
            made = subprocess.run(["openssl", "ts", "-reply", "-config", self.server.config,
                                   "-queryfile", request, "-out", reply], capture_output=True)
            if made.returncode != 0:
                sys.stderr.write(made.stderr.decode(errors="replace"))
                self.send_error(500)
                return
            with open(reply, "rb") as file:
                body = file.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main(config, port_file, seconds):
    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    server.config = config
    threading.Timer(float(seconds), server.shutdown).start()
    with open(port_file + ".new", "w") as file:
        file.write(str(server.server_address[1]))
    os.replace(port_file + ".new", port_file)
    server.serve_forever()


if __name__ == "__main__":
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    main(*sys.argv[1:])
