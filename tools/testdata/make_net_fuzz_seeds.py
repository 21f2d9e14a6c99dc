#!/usr/bin/python3
"""Seeds for the TLS and HTTP fuzz targets, from the RFC 8448 example trace and by hand.

Run from the repository root:
    /usr/bin/python3 tools/testdata/make_net_fuzz_seeds.py ../shared/testdata/net/rfc8448-equivalent-draft-ietf-tls-tls13-vectors.txt
Writes fuzz/corpus/{tls_handshake,tls_records,http_response}/ and prints the client key
and ClientHello that fuzz/tls_handshake.cc fixes.
"""
import os
import re
import sys


def dumps(path, section):
    """(step heading, label, bytes) of every hex dump in the numbered section."""
    lines = open(path).read().split("\n")
    start = next(i for i, l in enumerate(lines) if l.startswith(section))
    end = next(i for i in range(start + 1, len(lines)) if re.match(r"^\d+\.  ", lines[i]))
    out, step, i = [], "", start
    while i < end:
        line = lines[i]
        if line.startswith("   {"):
            step = line.strip()
        m = re.match(r"^\s+([a-zA-Z ]+) \((\d+) octets\):(.*)$", line)
        if m:
            count, value = int(m.group(2)), []
            rest = m.group(3)
            while True:
                tokens = rest.split()
                if tokens and all(re.fullmatch(r"[0-9a-f]{2}", t) for t in tokens):
                    value += [int(t, 16) for t in tokens]
                if len(value) >= count or i + 1 >= end:
                    break
                i += 1
                rest = lines[i]
            out.append((step, m.group(1), bytes(value)))
        i += 1
    return out


def find(entries, step, label, nth=0):
    hits = [v for s, l, v in entries if s.startswith(step) and l == label]
    return hits[nth]


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    trace = dumps(sys.argv[1], "3.  Simple 1-RTT Handshake")
    private = find(trace, "{client}  create an ephemeral", "private key")
    hello = find(trace, "{client}  send handshake record", "payload")
    server_hello = find(trace, "{server}  send handshake record", "complete record", 0)
    flight = find(trace, "{server}  send handshake record", "complete record", 1)
    ticket = find(trace, "{server}  send handshake record", "complete record", 2)
    data = find(trace, "{server}  send application_data record", "complete record")
    alert = find(trace, "{server}  send alert record", "complete record")
    print("private key", private.hex())
    print("client hello", hello.hex())

    folder = "fuzz/corpus/tls_handshake"
    write(folder, "rfc8448_flight", server_hello + flight)
    write(folder, "rfc8448_flight_and_data", server_hello + flight + ticket + data + alert)
    write(folder, "rfc8448_server_hello_only", server_hello)

    # tls_records: mode byte, then (length/80, type, padding, data) records, capacity last.
    folder = "fuzz/corpus/tls_records"
    text = b"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"
    write(folder, "tls13_data", bytes([0, 1, 23, 0]) + text.ljust(80, b"x") + bytes([2]))
    write(folder, "tls13_ticket_then_padded_data",
          bytes([0, 0, 22, 0, 0, 1, 23, 200]) + text.ljust(80, b"y") + bytes([0]))
    write(folder, "tls12_data", bytes([1, 1, 23, 3]) + text.ljust(80, b"z") + bytes([1]))
    write(folder, "tls12_alert", bytes([1, 0, 21, 0, 5]))
    write(folder, "raw_rfc8448_records", bytes([2]) + ticket + data + alert + bytes([3]))

    folder = "fuzz/corpus/http_response"
    write(folder, "length", bytes([2, 3, 7]) + b"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello")
    write(folder, "chunked", bytes([1, 4]) +
          b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nwiki\r\nA\r\n0123456789\r\n0\r\n\r\n")
    write(folder, "no_length", bytes([0]) + b"HTTP/1.0 404 Not Found\r\nServer: x\r\n\r\nmissing")
    write(folder, "redirect", bytes([1, 0]) +
          b"HTTP/1.1 302 Found\r\nLocation: https://h/x\r\nContent-Length: 0\r\n\r\n")


if __name__ == "__main__":
    main()
