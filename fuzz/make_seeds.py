#!/usr/bin/env python3
"""Writes the starting corpus of every fuzz target into DIR/<target>/.

The targets read their input through FuzzedDataProvider: strings from the
front (a backslash followed by another byte ends one), integers and choices
from the back. The seeds follow that layout so that the first runs already
reach the interesting paths: a version page, percent escapes, URLs with
ports, raw response header blocks with cookies.
"""
import pathlib
import sys


def fdp_string(s: bytes) -> bytes:
    """One ConsumeRandomLengthString value."""
    return s.replace(b"\\", b"\\\\") + b"\\x"


PAGE = (b'<html><h2 class="title">1.2</h2><p>%E4%B8%AD%E6%96%87 '
        b'100% ok a+b x%00y</p></html>')

SEEDS = {
    "text_fuzz": [
        fdp_string(b"abcabc") + fdp_string(b"b") + b"\x00\x00\x00\x03" * 8,
        fdp_string(b"http://ABC/") + fdp_string(b"abc") + b"\x01" * 40,
        fdp_string(b"8080.9") + fdp_string(b"") + b"\xff" * 40,
        fdp_string("中文".encode("gbk")) + fdp_string(b"\xd6") + b"\x02" * 40,
    ],
    "between_fuzz": [
        fdp_string(b'title">') + fdp_string(b"</h2>") + PAGE,
        fdp_string(b"{") + fdp_string(b"}") + b"a{1.0}b{2.0}",
        fdp_string(b"}") + fdp_string(b"{") + b"a{1.0}b",
        fdp_string(b"") + fdp_string(b"") + b"abc",
    ],
    "url_decode_fuzz": [
        PAGE + b"\x00",
        b"%41%42c%4a%4A%e4%b8%ad%" + b"\x00",
        "中文".encode("utf-8") + b"\xed\xa0\x80\xf4\x90\x80\x80\xc0\xaf" + b"\x01",
        b"A\x00B\x00\x2d\x4e\x00\xd8" + b"\x02",
    ],
    "url_split_fuzz": [
        b"http://Server:8080/a/B?x=1",
        b"http://server:8080.9/x",
        b"see http://server/x",
        b"http://user:pw@host:81/p",
        b"https://server/x",
        b"http:///path",
        b"http://h:99999999999999999999/",
        b"http://h:-7/",
    ],
    "file_fuzz": [
        fdp_string(b"\x01\x01\x01\x02\x00\x04") + b"\x00" * 16,
        fdp_string(b"\x01\x02\x04\x05\x03\x06\x07\x01") + b"Vormtal_OK\r\nline\n\x05\x00\x00\x00",
        fdp_string(b"\x00\x01\x02" * 5) + b"\x01" * 64 + b"\x01",
    ],
    # One byte of choices (bit 0: cookies on), then the response verbatim.
    "response_fuzz": [
        b"\x01" + b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
        b"Set-Cookie: a=b; path=/\r\nset-cookie: c=d=e; expires=Thu, 01 Jan 2099 00:00:00 GMT\r\n"
        b"X-Set-Cookie: not=this\r\nSet-Cookie: novalue\r\n\r\n" + PAGE,
        b"\x01" + b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 302 Found\r\n"
        b"Location: //other.test:8080/x y?q=1#f\r\nSet-Cookie: s=1; domain=.fuzz.test\r\n\r\n",
        b"\x00" + b"HTTP/1.0 301 Moved\nLocation: ../up/\x7f\n\nbody",
        b"\x01" + b"garbage\nSet-Cookie:=\r\n\r\n",
        b"\x00" + b" " * 1024,
    ],
    # The caller's extra lines, URL, POST data and method; then a reply
    # packet's header block and body; choices from the back.
    "request_fuzz": [
        fdp_string(b"Accept: */*\r\nX-A: 1") + fdp_string(b"http://fuzz.test/a")
        + fdp_string(b"a=1&b=2") + fdp_string(b"post")
        + fdp_string(b"HTTP/1.1 200 OK\r\nSet-Cookie: a=b\r\n") + fdp_string(PAGE) + b"\x00",
        fdp_string(b"content-length: 99\r\nContent-Type: x\r\n") + fdp_string(b"")
        + fdp_string(b"") + fdp_string(b"GET") + fdp_string(b"") + fdp_string(b"")
        + b"\x05\x00\x10\x00\x00\x00\x00\x00\x00\x00\x01",
    ],
}


def main() -> int:
    out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "seeds")
    for target, seeds in SEEDS.items():
        d = out / target
        d.mkdir(parents=True, exist_ok=True)
        for i, seed in enumerate(seeds):
            (d / f"seed-{i}").write_bytes(seed)
    return 0


if __name__ == "__main__":
    sys.exit(main())
