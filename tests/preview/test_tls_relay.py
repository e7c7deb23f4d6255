"""The preview's TLS relay (preview/tls_relay.py) between a TLS client and a plain server: bytes pass
both ways unchanged on many connections at once, and either side's end reaches the other."""

import os
import socket
import ssl
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import pytest

RELAY = Path(__file__).resolve().parents[2] / "preview" / "tls_relay.py"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def read_exactly(sock, count):
    data = b""
    while len(data) < count:
        chunk = sock.recv(count - len(data))
        assert chunk, f"ended after {len(data)} of {count} bytes"
        data += chunk
    return data


class EchoServer:
    """Answers each request of 8 bytes (a length) with that many bytes made from it; closes on b"close...."."""

    def __init__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.ended = []  # connections whose client end closed
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            connection, _ = self.listener.accept()
            threading.Thread(target=self.serve, args=(connection,), daemon=True).start()

    def serve(self, connection):
        with connection:
            while (request := connection.recv(8)) and request != b"close...":
                count = int(request)
                connection.sendall(bytes((count + i) % 251 for i in range(count)))
            self.ended.append(request)


@pytest.fixture(scope="module")
def relay(tmp_path_factory):
    folder = tmp_path_factory.mktemp("relay")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", folder / "key.pem", "-out", folder / "cert.pem", "-subj", "/CN=t.localhost"],
                   check=True, capture_output=True)
    (folder / "relay.pem").write_bytes((folder / "key.pem").read_bytes() + (folder / "cert.pem").read_bytes())
    server, port = EchoServer(), free_port()
    process = subprocess.Popen([sys.executable, "-I", str(RELAY), str(folder / "relay.pem"), str(port),
                                str(server.listener.getsockname()[1])])
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port)).close()
            break
        except OSError:
            time.sleep(0.05)
    yield server, port
    process.kill()


def tls_client(port):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname, context.verify_mode = False, ssl.CERT_NONE
    return context.wrap_socket(socket.create_connection(("127.0.0.1", port), timeout=30), server_hostname="t.localhost")


@pytest.mark.parametrize("sizes, connections", [((1, 65536, 8 << 20), 1), ((300000,) * 3, 40)])
def test_answers_pass_whole_and_in_order_on_every_connection(relay, sizes, connections):
    _, port = relay

    def exchange(_):
        with tls_client(port) as client:
            for size in sizes:
                client.sendall(b"%08d" % size)
                assert read_exactly(client, size) == bytes((size + i) % 251 for i in range(size))
        return True

    with ThreadPoolExecutor(connections) as pool:
        assert all(pool.map(exchange, range(connections)))


def test_each_side_ending_ends_the_other(relay):
    server, port = relay
    # The server ends the connection: the client reads its end.
    with tls_client(port) as client:
        client.sendall(b"close...")
        assert client.recv(1) == b""
    # The client goes away without a word: the server's read ends.
    before = len(server.ended)
    client = tls_client(port)
    client.sendall(b"%08d" % 10)
    read_exactly(client, 10)
    client.close()
    deadline = time.monotonic() + 10
    while len(server.ended) == before and time.monotonic() < deadline:
        time.sleep(0.05)
    assert server.ended[before:] == [b""]
