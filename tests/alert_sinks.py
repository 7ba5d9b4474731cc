#!/usr/bin/env python3
"""The alert tests' receivers: `alert_sinks.py http|smtp FOLDER`.

Listens on 127.0.0.1 on a port the system picks, prints the port on a line of
its own, and keeps each message it takes in FOLDER: an HTTP POST as N.json
(the body) and N.head (the request line and Content-Type), a mail as N.eml
(the data as received) and N.env (sender, then the recipients, one a line),
N counting from 1. When FOLDER/status holds a number, the HTTP sink answers
with that status and the SMTP sink refuses the data with that reply code;
only what was accepted is kept.
"""
import asyncio
import http.server
import os
import sys


def status(folder, default):
    try:
        with open(os.path.join(folder, "status")) as f:
            return int(f.read())
    except (OSError, ValueError):
        return default


def keep(folder, parts):
    """Writes the parts {ext: bytes} of the next message, the first one last."""
    n = 1
    first = next(iter(parts))
    while os.path.exists(os.path.join(folder, "%d.%s" % (n, first))):
        n += 1
    for ext in reversed(list(parts)):
        path = os.path.join(folder, "%d.%s" % (n, ext))
        with open(path + ".part", "wb") as f:
            f.write(parts[ext])
        os.rename(path + ".part", path)


def http_sink(folder):
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
            code = status(folder, 200)
            if 200 <= code < 300:
                head = "%s %s\nContent-Type: %s\n" % (
                    self.command, self.path, self.headers.get("Content-Type"))
                keep(folder, {"json": body, "head": head.encode()})
            self.send_response(code)
            self.send_header("Content-Length", "0")
            self.end_headers()

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


def smtp_sink(folder):
    from aiosmtpd.smtp import SMTP

    class Handler:
        async def handle_DATA(self, server, session, envelope):
            code = status(folder, 250)
            if code != 250:
                return "%d refused by the test" % code
            env = "\n".join([envelope.mail_from] + envelope.rcpt_tos) + "\n"
            keep(folder, {"eml": envelope.original_content, "env": env.encode()})
            return "250 OK"

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(
        loop.create_server(lambda: SMTP(Handler(), decode_data=False), "127.0.0.1", 0))
    print(server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    {"http": http_sink, "smtp": smtp_sink}[sys.argv[1]](sys.argv[2])
