# A timestamp authority on loopback for the signing check: answers each RFC 3161 request with
# `openssl ts -reply`, prints its port, and serves until ended.
#   timestamp_server.py <openssl configuration with a tsa_config section>
import http.server
import os
import subprocess
import sys
import tempfile


class TimestampHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        with tempfile.TemporaryDirectory() as work:
            query_file = os.path.join(work, "query.tsq")
            with open(query_file, "wb") as out:
                out.write(query)
            reply = subprocess.run(
                ["openssl", "ts", "-reply", "-config", sys.argv[1], "-section", "tsa_config",
                 "-queryfile", query_file],
                capture_output=True, check=False).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *_):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), TimestampHandler)
print(server.server_address[1], flush=True)
server.serve_forever()
