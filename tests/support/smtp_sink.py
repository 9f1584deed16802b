#!/usr/bin/python3
"""A real SMTP server for tests, on 127.0.0.1 only.

Usage: smtp_sink.py DIRECTORY [--port N]

Listens on a free port (or N), prints the port number as the first line of standard
output, and writes each message it accepts to DIRECTORY/msg-NNNNNN.json:
    {"mailFrom": ..., "rcptTos": [...], "dataBase64": ...}
The envelope addresses are recorded exactly as the client sent them between the angle
brackets, so tests can check what went over the wire. Files appear whole (written under a
temporary name, then renamed). Ends cleanly on SIGTERM or SIGINT, and by itself when the
process that started it is gone.
"""

import asyncio
import base64
import json
import os
import signal
import sys

from aiosmtpd.smtp import SMTP


class RawAddressSMTP(SMTP):
    """Keeps the address as sent instead of re-quoting it the way the mail parser would."""

    def _getaddr(self, arg):
        text = arg.strip() if arg else ""
        if text.startswith("<"):
            close = text.rfind(">")
            if close < 0:
                return None, None
            return text[1:close], text[close + 1:]
        return super()._getaddr(arg)


class Recorder:
    def __init__(self, directory):
        self.directory = directory
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        record = {
            "mailFrom": envelope.mail_from,
            "rcptTos": list(envelope.rcpt_tos),
            "dataBase64": base64.b64encode(envelope.original_content or b"").decode("ascii"),
        }
        name = "msg-%06d.json" % self.count
        temporary = os.path.join(self.directory, "." + name + ".tmp")
        with open(temporary, "w", encoding="utf-8") as f:
            json.dump(record, f, ensure_ascii=False)
        os.replace(temporary, os.path.join(self.directory, name))
        return "250 Message accepted for delivery"


async def serve(directory, port):
    loop = asyncio.get_running_loop()
    recorder = Recorder(directory)
    server = await loop.create_server(
        lambda: RawAddressSMTP(recorder, enable_SMTPUTF8=True, hostname="smtp-sink.test",
                               loop=loop),
        host="127.0.0.1", port=port)
    print(server.sockets[0].getsockname()[1], flush=True)

    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    parent = os.getppid()

    async def watch_parent():
        while not stop.is_set():
            if os.getppid() != parent:
                stop.set()
            await asyncio.sleep(1)

    watcher = asyncio.ensure_future(watch_parent())
    await stop.wait()
    watcher.cancel()
    server.close()
    await server.wait_closed()


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--port"):
        print("usage: smtp_sink.py DIRECTORY [--port N]", file=sys.stderr)
        return 2
    directory = argv[1]
    if not os.path.isdir(directory):
        print("smtp_sink.py: no directory " + directory, file=sys.stderr)
        return 2
    port = int(argv[3]) if len(argv) == 4 else 0
    asyncio.run(serve(directory, port))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
