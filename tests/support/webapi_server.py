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
        "headers": {"x-machineid": "20-201"},   # extra answer headers (a Content-Type here
                                                # replaces the default application/json)
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
import threading
import time

import loopback_http

ARGS = None
LOG_LOCK = threading.Lock()


def load_script():
    return loopback_http.load_json(ARGS.script)


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
    loopback_http.append_log(ARGS.log, LOG_LOCK, entry)


def read_request(stream):
    head = loopback_http.read_head(stream)
    if head is None:
        return None
    headers = head[3]
    length = int(headers.get("content-length", "0") or 0)
    body = stream.read(length) if length > 0 else b""
    return head + (body,)


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
    rule = sequence_step(path, rule_for(path))
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
    elif "account" in rule:
        payload = account_body(path, body, rule["account"]).encode("utf-8")
    else:
        payload = default_body(method, path, sign_ok).encode("utf-8")
    status = int(rule.get("status", 200))
    extra = rule.get("headers", {})
    head = ["HTTP/1.1 %d Scripted" % status]
    if not any(name.lower() == "content-type" for name in extra):
        head.append("Content-Type: application/json")
    for name, value in extra.items():
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


def serve_requests(conn, stream, tls):
    request = read_request(stream)
    return request is not None and answer(conn, request, tls)


# ---------------------------------------------------------------------------------------------
# Added for the sign-in bridge's tests. Two more rule members; rules without them behave as above.
#   "sequence": [rule, ...]   the path's requests take these rules in turn (the last one repeats);
#                             counted per path and sequence from the server's start, so a test
#                             that wants a fresh count gives a sequence of its own.
#   "account": {options}      answer as the account service would, from the request's members:
#     getutctime              {"code":10000,"utctime":<options.utctime or now>}
#     virtualactregister      a virtual account (accounttype 5) named after the device id
#     checktoken              10000 when the token is in options.valid_tokens (default
#                             ["tok-1"]), else 10060
#     memprofile              the account of the token (10000), or 10060 as above; its
#                             nickname and head_portrait from options.nickname, options.avatar
#     imgverify               a data-URL image in "message"
#     smsverify, safsmsverify 10000, or options.sms_code_error (e.g. 28001) when given
#     loginquick, safloginquick  the phone's account when smscode equals options.sms_code
#                             (default "1234"), else 19004
#     wechatguid              a new "logintag" ("tag-<n>") and options.appid (default "")
#     wechatstate             11000 for the first options.pending_polls polls of a tag
#                             (default 1), then 10000 with the account "wx-<tag>"
#     signout                 10000
#     virtualactbind, virtualactbindopenid  10000 with a new "usertoken" in "userinfo"
# ---------------------------------------------------------------------------------------------
SEQUENCE_LOCK = threading.Lock()
SEQUENCE_COUNTS = {}
ACCOUNT_LOCK = threading.Lock()
ACCOUNT_STATE = {"tags": 0, "polls": {}}


def sequence_step(path, rule):
    steps = rule.get("sequence")
    if not steps:
        return rule
    key = path + json.dumps(steps, sort_keys=True)
    with SEQUENCE_LOCK:
        n = SEQUENCE_COUNTS.get(key, 0)
        SEQUENCE_COUNTS[key] = n + 1
    return steps[min(n, len(steps) - 1)]


def account_user(name, token, accounttype=1):
    return {"username": name, "uid": 1000 + len(name), "nickname": "", "head_portrait": "",
            "accounttype": accounttype, "usertoken": token}


def account_body(path, body, options):
    try:
        req = json.loads(body.decode("utf-8")) if body else {}
    except (UnicodeDecodeError, ValueError):
        req = {}
    if not isinstance(req, dict):
        req = {}
    name = path.rsplit("/", 1)[-1]
    valid = options.get("valid_tokens", ["tok-1"])
    if name == "getutctime":
        return json.dumps({"code": 10000, "utctime": options.get("utctime", int(time.time()))})
    if name == "virtualactregister":
        device = str(req.get("deviceid", ""))
        return json.dumps({"code": 10000, "message": "ok",
                           "userinfo": account_user("v-" + device[:8], "vt-" + device[:8], 5)})
    if name == "checktoken":
        return json.dumps({"code": 10000 if req.get("usertoken") in valid else 10060, "message": ""})
    if name == "memprofile":
        if req.get("usertoken") not in valid:
            return json.dumps({"code": 10060, "message": ""})
        token = req.get("usertoken", "")
        # The device-bound accounts this server issues keep their type when refreshed.
        user = account_user(req.get("account", ""), token, 5 if token.startswith("vt-") else 1)
        user["nickname"] = options.get("nickname", "")
        user["head_portrait"] = options.get("avatar", "")
        return json.dumps({"code": 10000, "userinfo": user})
    if name == "imgverify":
        return json.dumps({"code": 10000, "message": "data:image/png;base64,iVBORw0KGgo="})
    if name in ("smsverify", "safsmsverify"):
        return json.dumps({"code": options.get("sms_code_error", 10000), "message": ""})
    if name in ("loginquick", "safloginquick"):
        if req.get("smscode") != options.get("sms_code", "1234"):
            return json.dumps({"code": 19004, "message": ""})
        phone = req.get("account", "")
        return json.dumps({"code": 10000, "userinfo": account_user(phone, "pt-" + phone)})
    if name == "wechatguid":
        with ACCOUNT_LOCK:
            ACCOUNT_STATE["tags"] += 1
            tag = "tag-%d" % ACCOUNT_STATE["tags"]
        return json.dumps({"code": 10000, "logintag": tag, "appid": options.get("appid", "")})
    if name == "wechatstate":
        tag = req.get("logintag", "")
        with ACCOUNT_LOCK:
            polls = ACCOUNT_STATE["polls"].get(tag, 0)
            ACCOUNT_STATE["polls"][tag] = polls + 1
        if polls < options.get("pending_polls", 1):
            return json.dumps({"code": 11000, "message": "waiting"})
        return json.dumps({"code": 10000, "userinfo": account_user("wx-" + tag, "wt-" + tag, 2)})
    if name == "signout":
        return json.dumps({"code": 10000})
    if name in ("virtualactbind", "virtualactbindopenid"):
        return json.dumps({"code": 10000, "userinfo": {"usertoken": "bound-" + str(req.get("usertoken", ""))}})
    return json.dumps({"code": 10000})


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
    context, listener = loopback_http.listen(ARGS.cert, ARGS.key, ARGS.port)
    loopback_http.serve_forever(context, listener, serve_requests)


if __name__ == "__main__":
    main()
