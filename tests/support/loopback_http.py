"""What the tests' loopback servers share: the script and log files, the request head, the
peek that tells TLS from plain HTTP on one port, and the listener that prints "PORT <n>".

Imported by webapi_server.py and cloud_server.py from their own folder.
"""
import json
import socket
import ssl
import threading


def load_json(path):
    """The scripted answers, read afresh; a missing or half-written file counts as empty."""
    try:
        with open(path, "r", encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def append_log(path, lock, entry):
    """One JSON object a line, flushed at once so a test sees it as soon as it is answered."""
    with lock:
        with open(path, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry, ensure_ascii=False) + "\n")
            f.flush()


def read_head(stream):
    """(method, path, query text, headers with lower-case names), or None at the end."""
    line = stream.readline(65536)
    if not line:
        return None
    parts = line.decode("latin-1").strip().split(" ")
    if len(parts) < 2:
        return None
    headers = {}
    while True:
        h = stream.readline(65536)
        if not h or h in (b"\r\n", b"\n"):
            break
        name, _, value = h.decode("latin-1").partition(":")
        headers[name.strip().lower()] = value.strip()
    path, _, query = parts[1].partition("?")
    return parts[0].upper(), path, query, headers


def serve_connection(conn, tls_context, handle):
    """Serves one connection with handle(conn, stream, tls) until it returns False; a first
    byte of 0x16 (a TLS handshake) makes it a TLS connection."""
    try:
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        tls = conn.recv(1, socket.MSG_PEEK) == b"\x16"
        if tls:
            conn = tls_context.wrap_socket(conn, server_side=True)
        stream = conn.makefile("rb")
        while handle(conn, stream, tls):
            pass
    except (OSError, ssl.SSLError, ValueError):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


def listen(cert, key, port):
    """The TLS context and a listener on 127.0.0.1; prints "PORT <n>" once it listens."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(64)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    return context, listener


def serve_forever(context, listener, handle):
    """One thread a connection, each served by serve_connection."""
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve_connection, args=(conn, context, handle), daemon=True).start()
