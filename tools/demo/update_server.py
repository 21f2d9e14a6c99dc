#!/usr/bin/python3
"""The demonstration's update service: HTTPS on 127.0.0.1 at a port the system picks.

  update_server.py --cert leaf.pem --key leaf.key --root FOLDER

Prints "PORT n" once it listens. Every answer carries Content-Length and
"Connection: close". Routes:
  /autocheck.php?softwareid=demo.app&os=win  the update answer for version 2.0
  /files/demo-app-2.0-setup.sh               302 to /files/v2/demo-app-2.0-setup.sh
  /files/v2/demo-app-2.0-setup.sh            FOLDER/demo-app-2.0-setup.sh, in 16 KiB
                                             pieces 60 ms apart
  /                                          a small web page
anything else 404.
"""
import argparse
import http.server
import os
import ssl
import sys
import time

INSTALLER = "demo-app-2.0-setup.sh"
PIECE = 16 * 1024
PIECE_DELAY = 0.06

NOTES = """This release brings the new update road to Demo Application.

Downloads now go to a hidden temporary file next to the chosen path and replace the old installer only when they are complete, so an interrupted download never destroys a file that was there before.

Die Größe des Installationsprogramms wird während des Herunterladens angezeigt; the price stays at 0 €.

A Stop in the progress window ends the download at once, even while the server is slow to answer."""

PAGE = b"<!doctype html><title>Demo Application</title><h1>Demo Application</h1><p>Version 2.0 is out.</p>\n"


def make_handler(root, origin):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, fmt, *args):
            sys.stderr.write("update_server: " + (fmt % args) + "\n")

        def answer(self, status, body=b"", content_type="text/plain; charset=utf-8", headers=()):
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Connection", "close")
            for name, value in headers:
                self.send_header(name, value)
            self.end_headers()
            return body

        def do_GET(self):
            self.close_connection = True
            if self.path == "/autocheck.php?softwareid=demo.app&os=win":
                text = "2.0\r\n%s/files/%s\r\n%s/\r\n%s" % (origin(), INSTALLER, origin(), NOTES.replace("\n", "\r\n"))
                self.wfile.write(self.answer(200, text.encode("utf-8")))
            elif self.path == "/files/" + INSTALLER:
                location = "%s/files/v2/%s" % (origin(), INSTALLER)
                self.wfile.write(self.answer(302, headers=[("Location", location)]))
            elif self.path == "/files/v2/" + INSTALLER:
                with open(os.path.join(root, INSTALLER), "rb") as installer:
                    data = installer.read()
                self.answer(200, data, "application/octet-stream")
                for start in range(0, len(data), PIECE):
                    self.wfile.write(data[start:start + PIECE])
                    self.wfile.flush()
                    time.sleep(PIECE_DELAY)
            elif self.path == "/":
                self.wfile.write(self.answer(200, PAGE, "text/html; charset=utf-8"))
            else:
                self.wfile.write(self.answer(404, b"not found\n"))

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--root", required=True)
    args = parser.parse_args()

    port = {}
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             make_handler(args.root, lambda: "https://127.0.0.1:%d" % port["n"]))
    port["n"] = server.server_address[1]
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    print("PORT %d" % port["n"], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
