#!/usr/bin/env python3
"""Loopback cloud conversion server for the tests and the benchmark: TLS (and plain HTTP) on one port.

Start:  cloud_server.py --cert server.pem --key server.key --script script.json --log log.jsonl
        --store DIR [--salt kQwRt20190311ZmXaP] [--port 0]
It binds 127.0.0.1 only and prints "PORT <n>" once it listens.
Self-check of the signature rules:  cloud_server.py --sign objects.json  prints, for a JSON array
of objects, a JSON array of [sign string, digest] pairs and exits.

What it checks on every request (each failure is listed in the log's "problems" and answered with
{"code": 40001, "message": <problems>}):
  headers X-Product, X-Version, X-Credits equal to the script's "expect" values; X-Domain equal to
  "127.0.0.1:<port>"; Content-Type "application/json; charset=utf-8" for the signed paths and
  "application/octet-stream" for the slice upload; for signed bodies a recomputed "datasign",
  a 32-character lower-case "deviceid", "devicetype" "pc", "productinfo" equal to the expected
  token and a positive numeric "timestamp".
Signature, recomputed here independently: every member but "datasign" (any letter case), keys in
ascending UTF-16 order, values as text (booleans "true"/"false", numbers "%.15g", strings as they
are, arrays and objects as compact JSON, null empty), trimmed, empty ones left out, "key=value"
joined by "&", the salt appended, MD5 of the UTF-8 bytes in lower-case hex.

Task life: "/api/v4/uploadpointpar" opens a task (tag "T<n>", a token holding "+", "/" and "=",
the script's "server_timestamp" or the clock); "/api/v4/uploadpointfile" takes slice "chunk" of it
(query tag, time stamp and token must match, the length must be the slice size, or the rest for
the last slice) and writes it at its offset into DIR/<tag>.bin; "/api/v4/uploadpointmerge" needs
the server's own time stamp, every slice, and, when the script names a "source" file, a merged
file equal to it byte for byte (else code 40003). "/api/v4/taskstate" answers the script's
"states" for the tag (or "*") in turn, the last one repeated; "/api/v4/taskdown" and
"/api/v4/deltask" answer success.

Script (re-read for every request; a new "generation" resets the fault counters):
  {"generation": 1, "expect": {"x-product": .., "x-version": .., "x-credits": .., "productinfo": ..},
   "source": "/abs/file", "server_timestamp": 1700000000,
   "states": {"T1": [{"code": 20000, "message": "busy"}, {"code": 10000, "message": "done"}]},
   "faults": [{"path": "/api/v4/uploadpointfile", "chunk": 1, "times": 2, ...action...}]}
A fault applies to requests of its path (and slice, when "chunk" is given), "times" times or always.
Actions: "status" (HTTP status, body "body" or a short text), "body" (raw answer text with status
200), "json" (whole answer object), "patch" (members merged into the normal answer), "remove"
(members removed from it), "mode": "garbage" (non-HTTP bytes, close), "silent" (read, never answer),
"close" (headers and half the answer, close), "drop" (read half the request body, close),
"hold_until": a file path; the request waits until it exists, then is served normally.
"result": a download answer, then the connection ends: {"text": body text, or "zeros": that many
zero bytes; "gzip": true sends it gzip-coded (Content-Encoding, unasked for); "framing": "length"
(Content-Length, the default), "chunked" (with its last chunk), "close" (no length, the body
ends with the connection), "short" (a Content-Length beyond the body sent), "chunked_cut" (no
last chunk); "cut": true sends half the body; "close_notify": over TLS, whether the stream ends
with its close alert (the default) or is dropped without it}.
A fault other than patch, remove and hold_until leaves the task untouched (a rejected slice is not
stored).

Log: one JSON object per request, appended to --log when the request has been read:
  {"method", "path", "query" (decoded), "headers" (lower-case names), "body" (JSON text; slices
   give "bytes" instead), "json", "sign_ok", "sign_string", "problems", "fault", "dropped"}
"""
import argparse
import hashlib
import json
import math
import os
import re
import secrets
import socket
import ssl
import threading
import time
import urllib.parse
import zlib

import loopback_http

ARGS = None
LOCK = threading.Lock()
TASKS = {}
COUNTERS = {"task": 0, "generation": None, "faults": {}, "states": {}}
PORT = 0
SIGNED_PATHS = {"/api/v4/uploadpointpar", "/api/v4/uploadpointmerge", "/api/v4/taskstate",
                "/api/v4/taskdown", "/api/v4/deltask"}
SLICE_PATH = "/api/v4/uploadpointfile"
DEVICE_ID = re.compile(r"^[a-z0-9]{32}$")


def sign_value(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, (int, float)):
        return "%.15g" % float(value)
    if isinstance(value, str):
        return value
    if isinstance(value, (list, dict)):
        return json.dumps(value, separators=(",", ":"), ensure_ascii=False)
    return ""


def sign(obj, salt):
    keys = sorted((k for k in obj if k.lower() != "datasign"), key=lambda k: k.encode("utf-16-be"))
    pairs = []
    for k in keys:
        text = sign_value(obj[k]).strip()
        if text:
            pairs.append("%s=%s" % (k, text))
    sign_string = "&".join(pairs) + salt
    return sign_string, hashlib.md5(sign_string.encode("utf-8")).hexdigest()


def load_script():
    return loopback_http.load_json(ARGS.script)


def log(entry):
    loopback_http.append_log(ARGS.log, LOCK, entry)


def pick_fault(script, path, query):
    """The first fault that matches and has uses left; counts the use."""
    with LOCK:
        if COUNTERS["generation"] != script.get("generation"):
            COUNTERS["generation"] = script.get("generation")
            COUNTERS["faults"] = {}
            COUNTERS["states"] = {}
        for index, fault in enumerate(script.get("faults", [])):
            if fault.get("path") != path:
                continue
            if "chunk" in fault and str(fault["chunk"]) != query.get("chunk"):
                continue
            used = COUNTERS["faults"].get(index, 0)
            if "times" in fault and used >= int(fault["times"]):
                continue
            COUNTERS["faults"][index] = used + 1
            return index, fault
    return None, None


def parse_query(text):
    out = {}
    for item in text.split("&") if text else []:
        key, _, value = item.partition("=")
        out[urllib.parse.unquote(key)] = urllib.parse.unquote(value)
    return out


def check_common(script, headers, path):
    problems = []
    expect = script.get("expect", {})
    for name in ("x-product", "x-version", "x-credits"):
        if name in expect and headers.get(name) != expect[name]:
            problems.append("header %s is %r" % (name, headers.get(name)))
    if headers.get("x-domain") != "127.0.0.1:%d" % PORT:
        problems.append("header x-domain is %r" % headers.get("x-domain"))
    wanted = "application/octet-stream" if path == SLICE_PATH else "application/json; charset=utf-8"
    if path in SIGNED_PATHS or path == SLICE_PATH:
        if headers.get("content-type") != wanted:
            problems.append("content-type is %r" % headers.get("content-type"))
    return problems


def check_signed(script, obj):
    problems = []
    sign_string, digest = sign(obj, ARGS.salt)
    sign_ok = obj.get("datasign") == digest
    if not sign_ok:
        problems.append("datasign mismatch")
    if not isinstance(obj.get("deviceid"), str) or not DEVICE_ID.match(obj["deviceid"]):
        problems.append("deviceid is %r" % obj.get("deviceid"))
    if obj.get("devicetype") != "pc":
        problems.append("devicetype is %r" % obj.get("devicetype"))
    expected_info = script.get("expect", {}).get("productinfo")
    if expected_info is not None and obj.get("productinfo") != expected_info:
        problems.append("productinfo is %r" % obj.get("productinfo"))
    stamp = obj.get("timestamp")
    if isinstance(stamp, bool) or not isinstance(stamp, (int, float)) or stamp <= 0:
        problems.append("timestamp is %r" % stamp)
    return sign_ok, sign_string, problems


def files_equal(a, b):
    try:
        if os.path.getsize(a) != os.path.getsize(b):
            return False
        with open(a, "rb") as fa, open(b, "rb") as fb:
            while True:
                x = fa.read(1 << 20)
                y = fb.read(1 << 20)
                if x != y:
                    return False
                if not x:
                    return True
    except OSError:
        return False


def open_task(script, obj):
    info = obj.get("fileinfo")
    if not isinstance(info, list) or len(info) != 1 or not isinstance(info[0], dict):
        return {"code": 40010, "message": "fileinfo must hold one object"}
    f = info[0]
    size, count, slice_k = f.get("filesize"), f.get("slicecount"), obj.get("slicesize")
    if not all(isinstance(v, (int, float)) and not isinstance(v, bool) for v in (size, count, slice_k)):
        return {"code": 40011, "message": "filesize, slicecount and slicesize must be numbers"}
    if not f.get("filename") or not obj.get("tasktype") or not obj.get("outext"):
        return {"code": 40012, "message": "filename, tasktype and outext are required"}
    slice_bytes = int(slice_k) * 1024
    if slice_bytes <= 0 or int(count) != math.ceil(int(size) / slice_bytes):
        return {"code": 40013, "message": "slicecount does not fit filesize and slicesize"}
    with LOCK:
        COUNTERS["task"] += 1
        tag = "T%d" % COUNTERS["task"]
        stamp = int(script.get("server_timestamp") or time.time())
        token = "tk+%s/=" % secrets.token_hex(6)
        path = os.path.join(ARGS.store, tag + ".bin")
        with open(path, "wb") as out:
            out.truncate(int(size))
        TASKS[tag] = {"token": token, "timestamp": stamp, "size": int(size), "count": int(count),
                      "slice": slice_bytes, "path": path, "received": set(), "merged": False}
    return {"code": 10000, "message": "ok", "tasktag": tag, "tasktoken": token, "timestamp": stamp}


def take_slice(query, body):
    tag = query.get("tasktag")
    task = TASKS.get(tag)
    if task is None:
        return {"code": 40020, "message": "unknown tasktag %r" % tag}
    if query.get("tasktoken") != task["token"]:
        return {"code": 40021, "message": "tasktoken mismatch"}
    if query.get("timestamp") != str(task["timestamp"]):
        return {"code": 40022, "message": "timestamp mismatch"}
    if query.get("fileindex") != "0":
        return {"code": 40023, "message": "fileindex must be 0"}
    try:
        chunk = int(query.get("chunk"))
    except (TypeError, ValueError):
        return {"code": 40024, "message": "chunk missing"}
    if chunk < 0 or chunk >= task["count"]:
        return {"code": 40025, "message": "chunk out of range"}
    offset = chunk * task["slice"]
    expected = min(task["slice"], task["size"] - offset)
    if len(body) != expected:
        return {"code": 40026, "message": "slice %d has %d bytes, expected %d" % (chunk, len(body), expected)}
    with open(task["path"], "r+b") as out:
        out.seek(offset)
        out.write(body)
    with LOCK:
        task["received"].add(chunk)
    return {"code": 10000, "message": "ok"}


def merge(script, obj):
    task = TASKS.get(obj.get("tasktag"))
    if task is None or obj.get("tasktoken") != task["token"]:
        return {"code": 40030, "message": "unknown task or token"}
    if obj.get("timestamp") != task["timestamp"]:
        return {"code": 40031, "message": "merge timestamp is not the server's"}
    missing = sorted(set(range(task["count"])) - task["received"])
    if missing:
        return {"code": 40032, "message": "slices missing: %s" % missing[:10]}
    source = script.get("source")
    if source and not files_equal(source, task["path"]):
        return {"code": 40003, "message": "merged file differs from the source"}
    task["merged"] = True
    return {"code": 10000, "message": "merged"}


def task_state(script, obj):
    tag = obj.get("tasktag")
    states = script.get("states", {})
    sequence = states.get(tag) or states.get("*")
    if not sequence:
        return {"code": 10000, "message": "done"}
    with LOCK:
        key = tag if tag in states else "*"
        step = COUNTERS["states"].get(key, 0)
        COUNTERS["states"][key] = step + 1
    return sequence[min(step, len(sequence) - 1)]


def send(conn, status, payload):
    head = "HTTP/1.1 %d Scripted\r\nContent-Type: application/json\r\nContent-Length: %d\r\n\r\n" % (
        status, len(payload))
    conn.sendall(head.encode("latin-1") + payload)


def serve_result(conn, tls, shape):
    """A download answer built and framed as the scripted shape asks; the connection ends after it."""
    # Zeros are made a mebibyte at a time: a coded one of hundreds of mebibytes stays small.
    pieces = []
    if "zeros" in shape:
        left = int(shape["zeros"])
        while left > 0:
            pieces.append(bytes(min(left, 1 << 20)))
            left -= len(pieces[-1])
    else:
        pieces.append(shape.get("text", "").encode("utf-8"))
    head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n"
    if shape.get("gzip"):
        packer = zlib.compressobj(9, zlib.DEFLATED, 31)
        body = b"".join(packer.compress(piece) for piece in pieces) + packer.flush()
        head += "Content-Encoding: gzip\r\n"
    else:
        body = b"".join(pieces)
    if shape.get("cut"):
        body = body[: len(body) // 2]
    framing = shape.get("framing", "length")
    if framing in ("length", "short"):
        declared = len(body) * (2 if framing == "short" else 1)
        conn.sendall((head + "Content-Length: %d\r\n\r\n" % declared).encode("latin-1") + body)
    elif framing in ("chunked", "chunked_cut"):
        conn.sendall((head + "Transfer-Encoding: chunked\r\n\r\n").encode("latin-1"))
        for start in range(0, len(body), 65536):
            piece = body[start:start + 65536]
            conn.sendall(b"%x\r\n" % len(piece) + piece + b"\r\n")
        if framing == "chunked":
            conn.sendall(b"0\r\n\r\n")
    else:
        conn.sendall((head + "\r\n").encode("latin-1") + body)
    if tls and shape.get("close_notify", True):
        try:
            conn.unwrap()
        except (OSError, ssl.SSLError, ValueError):
            pass
    else:
        # Dropped as is: an SSL object freed without SSL_shutdown sends no close alert.
        conn.shutdown(socket.SHUT_RDWR)


def handle(conn, stream, tls):
    head = loopback_http.read_head(stream)
    if head is None:
        return False
    method, path, raw_query, headers = head
    query = parse_query(raw_query)
    script = load_script()
    fault_index, fault = pick_fault(script, path, query)
    fault = fault or {}
    length = int(headers.get("content-length", "0") or 0)
    entry = {"method": method, "path": path, "query": query, "headers": headers, "fault": fault_index,
             "sign_ok": None, "sign_string": None, "problems": [], "dropped": False}
    if fault.get("mode") == "drop":
        stream.read(length // 2)
        entry["dropped"] = True
        log(entry)
        return False
    body = stream.read(length) if length > 0 else b""
    obj = None
    problems = check_common(script, headers, path)
    if path == SLICE_PATH:
        entry["bytes"] = len(body)
    else:
        entry["body"] = body.decode("utf-8", "replace")
        if path in SIGNED_PATHS:
            try:
                obj = json.loads(body.decode("utf-8"))
            except (UnicodeDecodeError, ValueError):
                obj = None
            if isinstance(obj, dict):
                entry["json"] = obj
                sign_ok, sign_string, more = check_signed(script, obj)
                entry["sign_ok"], entry["sign_string"] = sign_ok, sign_string
                problems += more
            else:
                problems.append("body is not a JSON object")
    entry["problems"] = problems
    log(entry)

    if "result" in fault:
        serve_result(conn, tls, fault["result"])
        return False
    if "hold_until" in fault:
        deadline = time.time() + 30
        while not os.path.exists(fault["hold_until"]) and time.time() < deadline:
            time.sleep(0.01)
    mode = fault.get("mode")
    if mode == "silent":
        time.sleep(fault.get("hold_s", 60))
        return False
    if mode == "garbage":
        conn.sendall(b"\x00\xffNOT HTTP AT ALL\r\n\x01\x02" * 8)
        return False
    if "status" in fault:
        send(conn, int(fault["status"]), fault.get("body", "scripted failure").encode("utf-8"))
        return True
    if "body" in fault:
        payload = fault["body"].encode("utf-8")
    elif "json" in fault:
        payload = json.dumps(fault["json"]).encode("utf-8")
    else:
        if problems:
            answer = {"code": 40001, "message": "; ".join(problems)}
        elif path == "/api/v4/uploadpointpar":
            answer = open_task(script, obj)
        elif path == SLICE_PATH:
            answer = take_slice(query, body)
        elif path == "/api/v4/uploadpointmerge":
            answer = merge(script, obj)
        elif path == "/api/v4/taskstate":
            answer = task_state(script, obj)
        elif path == "/api/v4/taskdown":
            answer = {"code": 10000, "message": "ok",
                      "downurl": "https://127.0.0.1:%d/result/%s.txt" % (PORT, obj.get("tasktag"))}
        elif path == "/api/v4/deltask":
            answer = {"code": 10000, "message": "deleted"}
        else:
            answer = {"code": 40404, "message": "no such path"}
        for key in fault.get("remove", []):
            answer.pop(key, None)
        answer.update(fault.get("patch", {}))
        payload = json.dumps(answer, ensure_ascii=False).encode("utf-8")
    if mode == "close":
        head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: %d\r\n\r\n" % len(payload)
        conn.sendall(head.encode("latin-1") + payload[: len(payload) // 2])
        return False
    send(conn, 200, payload)
    return True


def main():
    global ARGS, PORT
    parser = argparse.ArgumentParser()
    parser.add_argument("--sign")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--script")
    parser.add_argument("--log")
    parser.add_argument("--store")
    parser.add_argument("--salt", default="kQwRt20190311ZmXaP")
    parser.add_argument("--port", type=int, default=0)
    ARGS = parser.parse_args()
    if ARGS.sign:
        with open(ARGS.sign, "r", encoding="utf-8") as f:
            objects = json.load(f)
        print(json.dumps([list(sign(o, ARGS.salt)) for o in objects], ensure_ascii=False))
        return
    os.makedirs(ARGS.store, exist_ok=True)
    context, listener = loopback_http.listen(ARGS.cert, ARGS.key, ARGS.port)
    PORT = listener.getsockname()[1]
    loopback_http.serve_forever(context, listener, handle)


if __name__ == "__main__":
    main()
