# Serves a folder on the loopback as a static host serves a project's page: at a folder of its site
# (SITE, such as /maps/mirovale/; nothing else is there), and with ten minutes of caching on every
# file (Cache-Control: max-age=600, and Last-Modified). Beyond that it does four things:
# - it prints the port it listens on alone on a line, then each request it takes ("GET
#   /maps/mirovale/index.wasm"), a line each, for the tests to read;
# - a FIFO is sent as a file still being written is, or one that never ends: every request for it
#   gets all that has come through it so far, then the rest as it comes, for as long as it is open;
# - SITE.drawn?... (a page that tells the tests it has drawn) gets an empty answer;
# - given a port, it listens on that one (as the same server started again).
# Usage: python3 serve.py DIR SITE [PORT]
import email.utils
import http.server
import os
import stat
import sys
import threading

site = sys.argv[2]
folder = site.rstrip("/")  # the site's folder as asked for without its slash, sent on to it

said = threading.Lock()


class Growing:
    """What has come through a FIFO so far, read by a thread of its own until its writer closes it."""

    def __init__(self, path):
        self.data, self.ended, self.changed = bytearray(), False, threading.Condition()
        threading.Thread(target=self.read, args=(path,), daemon=True).start()

    def read(self, path):
        with open(path, "rb", buffering=0) as fifo:
            while chunk := fifo.read(65536):
                with self.changed:
                    self.data += chunk
                    self.changed.notify_all()
        with self.changed:
            self.ended = True
            self.changed.notify_all()

    def parts(self):
        """Its bytes from the start, a part at a time, waiting for each; ends where the FIFO ends."""
        sent = 0
        while True:
            with self.changed:
                self.changed.wait_for(lambda: len(self.data) > sent or self.ended)
                part = bytes(self.data[sent:])
                if not part:
                    return
            sent += len(part)
            yield part

    def close(self):
        pass


fifos, fifos_lock = {}, threading.Lock()


class Handler(http.server.SimpleHTTPRequestHandler):
    def send_head(self):
        with said:
            print(self.command, self.path, flush=True)
        if self.path.startswith(site + ".drawn?"):
            self.send_response(204)
            self.end_headers()
            return None
        if not self.path.startswith(folder) or self.path[len(folder) : len(folder) + 1] not in ("", "/", "?", "#"):
            self.send_error(404)
            return None
        path = self.translate_path(self.path)
        if not os.path.exists(path) or not stat.S_ISFIFO(os.stat(path).st_mode):
            return super().send_head()
        with fifos_lock:
            if path not in fifos:
                fifos[path] = Growing(path)
            growing = fifos[path]
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Last-Modified", email.utils.formatdate(os.stat(path).st_mtime, usegmt=True))
        self.end_headers()
        return growing

    def translate_path(self, path):
        # The site's folder is DIR.
        return super().translate_path(path[len(folder) :])

    def end_headers(self):
        # What a static host sends with each file it has.
        if getattr(self, "sent", 0) in (200, 304):
            self.send_header("Cache-Control", "max-age=600")
        super().end_headers()

    def send_response(self, code, message=None):
        self.sent = code
        super().send_response(code, message)

    def copyfile(self, source, outputfile):
        # Each part on its way as soon as it comes; a normal file goes as it always does.
        if isinstance(source, Growing):
            for part in source.parts():
                outputfile.write(part)
                outputfile.flush()
        else:
            super().copyfile(source, outputfile)

    def log_message(self, format, *args):
        pass


port = int(sys.argv[3]) if len(sys.argv) > 3 else 0
server = http.server.ThreadingHTTPServer(("127.0.0.1", port), lambda *args: Handler(*args, directory=sys.argv[1]))
print(server.server_port, flush=True)
server.serve_forever()
