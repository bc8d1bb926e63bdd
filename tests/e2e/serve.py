# Serves a folder on the loopback, as python3 -m http.server does, but for three things: it prints
# the port it listens on alone on a line, then each request it takes ("GET /index.wasm"), a line
# each, for the tests to read; a FIFO is sent as it is written, for as long as it stays open, as a
# server sends a file it is still making, or one that never ends; and /.drawn?... (a page that
# tells the tests it has drawn) gets an empty answer. Given a port, it listens on that one (as the
# same server started again).
# Usage: python3 serve.py DIR [PORT]
import http.server
import os
import stat
import sys
import threading

said = threading.Lock()


class Handler(http.server.SimpleHTTPRequestHandler):
    def send_head(self):
        with said:
            print(self.command, self.path, flush=True)
        if self.path.startswith("/.drawn?"):
            self.send_response(204)
            self.end_headers()
            return None
        path = self.translate_path(self.path)
        if not os.path.exists(path) or not stat.S_ISFIFO(os.stat(path).st_mode):
            return super().send_head()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.end_headers()
        return open(path, "rb", buffering=0)

    def copyfile(self, source, outputfile):
        # Each part on its way as soon as it comes; a normal file goes as it always does.
        while chunk := source.read(65536):
            outputfile.write(chunk)
            outputfile.flush()

    def log_message(self, format, *args):
        pass


port = int(sys.argv[2]) if len(sys.argv) > 2 else 0
server = http.server.ThreadingHTTPServer(("127.0.0.1", port), lambda *args: Handler(*args, directory=sys.argv[1]))
print(server.server_port, flush=True)
server.serve_forever()
