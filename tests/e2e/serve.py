# Serves a folder on the loopback, as python3 -m http.server does (which it is, but for one thing):
# a FIFO is sent as it is written, for as long as it stays open, as a server sends a file it is
# still making, or one that never ends. It prints the address it listens on, and logs requests.
# Usage: python3 serve.py DIR
import http.server
import os
import stat
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    def send_head(self):
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


server = http.server.ThreadingHTTPServer(
    ("127.0.0.1", 0), lambda *args: Handler(*args, directory=sys.argv[1]))
print(f"Serving HTTP on 127.0.0.1 port {server.server_port} (http://127.0.0.1:{server.server_port}/) ...", flush=True)
server.serve_forever()
