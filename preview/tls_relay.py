"""TLS in front of the preview runtime's loopback server: Chromium reaches https://*.localhost/ here, and
each connection is passed on, decrypted, to the runtime's plain HTTP server on loopback.

    python3 -I -c SCRIPT PEM_FILE RELAY_PORT SERVER_PORT

Answers go out as they come, each read from the server sent as one write of all its TLS records: a
writer that sends record by record costs a system call per 16 KiB, and Chromium then reads the body in
pieces that small."""

import socket
import ssl
import sys
import threading

BLOCK = 1 << 20


class Connection:
    def __init__(self, context, client, server_port):
        self.client, self.server_port = client, server_port
        self.incoming, self.outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
        self.tls = context.wrap_bio(self.incoming, self.outgoing, server_side=True)
        self.lock = threading.Lock()  # the TLS state is shared by both directions
        self.handshaken = False
        self.server = None

    def run(self):
        try:
            self.server = socket.create_connection(("127.0.0.1", self.server_port))
            for end in (self.client, self.server):
                end.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            threading.Thread(target=self.answers, daemon=True).start()
            self.requests()
        except (OSError, ssl.SSLError):
            pass
        finally:
            self.close()

    def requests(self):
        """Chromium to the server: the handshake, then requests, until either side ends."""
        while data := self.client.recv(BLOCK):
            with self.lock:
                self.incoming.write(data)
                plain, ended = self.decrypt()
                self.flush()
            if plain:
                self.server.sendall(plain)
            if ended:
                return

    def decrypt(self):
        parts = []
        try:
            if not self.handshaken:
                self.tls.do_handshake()
                self.handshaken = True
            while part := self.tls.read(BLOCK):
                parts.append(part)
            return b"".join(parts), True
        except ssl.SSLWantReadError:
            return b"".join(parts), False
        except ssl.SSLZeroReturnError:
            return b"".join(parts), True

    def answers(self):
        """The server to Chromium, encrypted as it arrives."""
        try:
            while data := self.server.recv(BLOCK):
                with self.lock:
                    self.tls.write(data)
                    self.flush()
        except (OSError, ssl.SSLError):
            pass
        finally:
            self.close()

    def flush(self):
        data = self.outgoing.read()
        if data:
            self.client.sendall(data)

    def close(self):
        # Shutting both sockets down wakes the other direction's thread, which then ends too.
        for end in (self.client, self.server):
            if end is not None:
                try:
                    end.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                end.close()


def main():
    pem, relay_port, server_port = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(pem)
    listener = socket.create_server(("127.0.0.1", relay_port), backlog=128)
    while True:
        client, _ = listener.accept()
        threading.Thread(target=Connection(context, client, server_port).run, daemon=True).start()


if __name__ == "__main__":
    main()
