#!/usr/bin/env python3
"""Loopback account web-API server for the tests: HTTP and TLS on one port.

Start:  webapi_server.py --cert server.pem --key server.key --script script.json --log log.jsonl
        [--salt kQwRt20190311ZmXaP] [--port 0]
It binds 127.0.0.1 only and prints "PORT <n>" on stdout once it listens. A connection whose
first byte is a TLS handshake (0x16) is served over TLS, anything else as plain HTTP/1.1.

Scripting: the JSON file named by --script is read afresh for every request, so a test may
rewrite it between requests (write a temporary file and rename it). Missing file = defaults.
  {
    "paths": {                       # keyed by the request path without the query
      "/api/v4/loginquick": {
        "status": 200,               # HTTP status (default 200)
        "body": "{...}",             # answer text (default: see below)
        "body_hex": "c3 28",         # answer bytes given as hex (wins over "body")
        "size": 10485760,            # answer of this many bytes ("x" repeated; wins over both)
        "headers": {"x-machineid": "20-201"},   # extra answer headers
        "delay_ms": 0,               # wait before answering
        "mode": "normal"             # normal | silent (read, never answer, hold the
                                     # connection) | close (headers and half the body,
                                     # then close) | garbage (non-HTTP bytes, then close)
                                     | chunks (answer sent in 7-byte chunked pieces)
      }
    },
    "default": { ... same members, for every path not listed ... }
  }
Statistics: "/ver1/getUnixTime" gets {"code":10000,"time":"<unix seconds>"}; a request with a
"sign:" header is logged with "stats_sign_ok": the header must be "sign:" + MD5(prefix + time) +
time, the time empty or within 120 s of the server's clock.
Voice calls sign a few members differently: "/api/v4/uploadpar" signs "parainfo" without sending
it, and the voice paths leave "account" and "usertoken" out of the sign while "account" is empty.
Default answer: signed POSTs get {"code":10000,"msg":"ok","path":P} when the recomputed
datasign matches and {"code":-2,"msg":"bad datasign"} when it does not; "/api/v4/getutctime"
gets {"code":10000,"data":{"time":<unix seconds>}}; other paths {"code":10000}.
HEAD requests get the status and headers only.

Log: one JSON object per request is appended to the --log file (flushed at once):
  {"method", "path", "query", "tls", "headers" (lower-case names), "body",
   "sign_ok" (true/false for JSON bodies with "datasign", null otherwise), "sign_string"}
The signature is recomputed independently: every member but "datasign", keys in ascending
order, "key=value" joined by "&", the salt appended, MD5 in lower-case hex.
"""
import argparse
import hashlib
import json
import os
import socket
import ssl
import sys
import threading
import time

ARGS = None
LOG_LOCK = threading.Lock()


def load_script():
    try:
        with open(ARGS.script, "r", encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def rule_for(path):
    script = load_script()
    return script.get("paths", {}).get(path) or script.get("default") or {}


VOICE_PATHS = ("/api/v4/uploadpar", "/api/v4/taskstate", "/api/v4/taskdown")


def check_sign(body, path=""):
    try:
        obj = json.loads(body.decode("utf-8"))
    except (UnicodeDecodeError, ValueError):
        return None, None
    if not isinstance(obj, dict) or "datasign" not in obj:
        return None, None
    if path == "/api/v4/uploadpar":
        obj["parainfo"] = "maxlimit:char300000page0;"
    if path in VOICE_PATHS and obj.get("account") == "":
        obj.pop("account", None)
        obj.pop("usertoken", None)
    keys = sorted(k for k in obj if k != "datasign")
    sign_string = "&".join("%s=%s" % (k, obj[k]) for k in keys) + ARGS.salt
    digest = hashlib.md5(sign_string.encode("utf-8")).hexdigest()
    return digest == obj["datasign"], sign_string


def check_stats_sign(headers):
    line = headers.get("sign")
    if line is None:
        return None
    digest, when = line[:32], line[32:]
    if hashlib.md5((ARGS.stats_prefix + when).encode("utf-8")).hexdigest() != digest:
        return False
    return when == "" or (when.isdigit() and abs(int(when) - time.time()) <= 120)


def log(entry):
    with LOG_LOCK:
        with open(ARGS.log, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry, ensure_ascii=False) + "\n")
            f.flush()


def read_request(stream):
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
    length = int(headers.get("content-length", "0") or 0)
    body = stream.read(length) if length > 0 else b""
    target = parts[1]
    path, _, query = target.partition("?")
    return parts[0].upper(), path, query, headers, body


def default_body(method, path, sign_ok):
    if path.endswith("/getutctime"):
        return json.dumps({"code": 10000, "data": {"time": int(time.time())}})
    if path.endswith("/getUnixTime"):
        return json.dumps({"code": 10000, "time": str(int(time.time()))})
    if sign_ok is False:
        return json.dumps({"code": -2, "msg": "bad datasign"})
    if method == "POST":
        return json.dumps({"code": 10000, "msg": "ok", "path": path})
    return json.dumps({"code": 10000})


def answer(conn, request, tls):
    method, path, query, headers, body = request
    sign_ok, sign_string = check_sign(body, path) if method == "POST" else (None, None)
    log({"method": method, "path": path, "query": query, "tls": tls, "headers": headers,
         "header_order": list(headers.keys()), "body": body.decode("utf-8", "replace"),
         "body_hex": body.hex(), "sign_ok": sign_ok, "sign_string": sign_string,
         "stats_sign_ok": check_stats_sign(headers)})
    rule = rule_for(path)
    if rule.get("delay_ms"):
        time.sleep(rule["delay_ms"] / 1000.0)
    mode = rule.get("mode", "normal")
    if mode == "silent":
        time.sleep(rule.get("hold_s", 60))
        return False
    if mode == "garbage":
        conn.sendall(b"\x00\xffNOT HTTP AT ALL\r\n\x01\x02" * 8)
        return False
    if "size" in rule:
        payload = b"x" * int(rule["size"])
    elif "body_hex" in rule:
        payload = bytes.fromhex(rule["body_hex"])
    elif "body" in rule:
        payload = rule["body"].encode("utf-8")
    else:
        payload = default_body(method, path, sign_ok).encode("utf-8")
    status = int(rule.get("status", 200))
    head = ["HTTP/1.1 %d Scripted" % status, "Content-Type: application/json"]
    for name, value in rule.get("headers", {}).items():
        head.append("%s: %s" % (name, value))
    if mode == "chunks":
        head.append("Transfer-Encoding: chunked")
    else:
        head.append("Content-Length: %d" % len(payload))
    head = ("\r\n".join(head) + "\r\n\r\n").encode("latin-1")
    if method == "HEAD":
        conn.sendall(head)
        return True
    if mode == "close":
        conn.sendall(head + payload[: len(payload) // 2])
        return False
    if mode == "chunks":
        conn.sendall(head)
        for i in range(0, len(payload), 7):
            piece = payload[i:i + 7]
            conn.sendall(b"%x\r\n" % len(piece) + piece + b"\r\n")
            time.sleep(0.002)
        conn.sendall(b"0\r\n\r\n")
        return True
    # One write per answer: a separate small write would wait for the client's delayed ACK.
    conn.sendall(head + payload)
    return True


def serve(conn, tls_context):
    try:
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        first = conn.recv(1, socket.MSG_PEEK)
        tls = first == b"\x16"
        if tls:
            conn = tls_context.wrap_socket(conn, server_side=True)
        stream = conn.makefile("rb")
        while True:
            request = read_request(stream)
            if request is None or not answer(conn, request, tls):
                break
    except (OSError, ssl.SSLError, ValueError):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--script", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--salt", default="kQwRt20190311ZmXaP")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--stats-prefix", default="qavex_metrics_v1_##$$!")
    ARGS = parser.parse_args()
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(ARGS.cert, ARGS.key)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", ARGS.port))
    listener.listen(64)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn, context), daemon=True).start()


if __name__ == "__main__":
    main()
