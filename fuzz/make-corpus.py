#!/usr/bin/env python3
"""Seed corpora of the fuzz targets, one directory per target, made from the
repository's ASN.1 vectors, the frames of the tests and their golden files,
and the hand-made seeds of fuzz/seeds/<target>/.

usage: make-corpus.py SOURCE_DIR OUT_DIR
"""
import hashlib
import os
import re
import shutil
import struct
import sys


def blocks(path):
    """The "key: value" blocks of a vector file, the value text under "value"."""
    block, value = {}, None
    for line in open(path, encoding="utf-8").read().split("\n") + [""]:
        if value is not None:
            if line == "end-value":
                block["value"], value = "\n".join(value), None
            else:
                value.append(line)
        elif line == "value:":
            value = []
        elif not line.strip():
            if block:
                yield block
            block = {}
        elif not line.startswith("#") and ":" in line:
            key, _, text = line.partition(":")
            block[key.strip()] = text.strip()


def tpkt(payload):
    n = len(payload) + 4
    return bytes([3, 0, n >> 8, n & 0xFF]) + payload


class Corpus:
    def __init__(self, out):
        self.out = out

    def add(self, target, data):
        folder = os.path.join(self.out, target)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, hashlib.sha1(data).hexdigest()), "wb") as f:
            f.write(data)


def vectors(src, corpus):
    folder = os.path.join(src, "asn1/modules/tests/vectors")
    lgcp = []
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".txt"):
            continue
        for b in blocks(os.path.join(folder, name)):
            kind, prefix = b.get("type", ""), (b.get("type", "") + "\n").encode()
            per = {"LGCP.Message": "lgcp", "MON.Message": "mon"}.get(kind)
            if "data" in b:
                data = bytes.fromhex(b["data"])
                if b.get("encoding") == "ber":
                    corpus.add("ber", prefix + data)
                elif per:
                    corpus.add("per_%s_aligned" % per, data)
                continue
            if per:
                corpus.add("per_%s_aligned" % per, bytes.fromhex(b["aper"]))
                corpus.add("per_%s_unaligned" % per, bytes.fromhex(b["uper"]))
            if kind == "LGCP.Message":
                lgcp.append(bytes.fromhex(b["aper"]))
            if "ber" in b:
                corpus.add("ber", prefix + bytes.fromhex(b["ber"]))
            if "value" in b:
                corpus.add("avn", prefix + b["value"].encode())
    # Controller streams of a few messages each, whole and cut in several ways.
    for at in range(0, len(lgcp), 8):
        stream = b"".join(tpkt(m) for m in lgcp[at:at + 8])
        corpus.add("tpkt", bytes([(at // 8 * 37) % 256]) + stream)


def ss7(src, corpus):
    """What A received in each golden transcript, injected as step 0 frames."""
    folder = os.path.join(src, "signalling/ss7/tests/golden")
    for name in sorted(os.listdir(folder)):
        steps = b""
        for line in open(os.path.join(folder, name), encoding="utf-8"):
            m = re.match(r"(?:B>A|> A) ((?:[0-9A-F]{2} ?)*)", line)
            if m:
                frame = bytes.fromhex(m.group(1))
                frame = frame[:127] if len(frame) < 153 else frame[:280]
                steps += bytes([0, len(frame) if len(frame) < 128 else len(frame) - 25]) + frame
            elif line.startswith("-- "):
                steps += bytes([3, min(255, int(line.split()[1]) // 100)])
        if steps:
            corpus.add("ss7", steps)


def radio(src, corpus):
    """The octets the radio tests write as hex("..")."""
    for target, files in (("lemz", ["SigProtoTest.cpp", "LemzRadioMappingTest.cpp"]), ("ed137", ["R2sProtoTest.cpp"])):
        for name in files:
            text = open(os.path.join(src, "radio/tests", name), encoding="utf-8").read()
            for octets in re.findall(r'hex\("([0-9A-Fa-f ]+)"\)', text):
                corpus.add(target, bytes.fromhex(octets))


HEX = r"((?:[0-9A-F]{2} ?)+)$"
# "[  1000] net  > 02 01 7F": the loop time, the sender, lost (x) or carried (>), the frame.
LINE_FRAME = re.compile(r"\[ *(\d+)\] (\S+) +([>x]) " + HEX)
# A frame an entity traced as received: "LAPD[1] (TEI assigned): rx: FE FF 03 ...".
TRACED_RX = re.compile(r".*: rx: " + HEX)


def mode(wanted):
    """The first octet of a Q.921 seed: the lowest one the predicate takes."""
    return next(m for m in range(256) if wanted(m))


def isdn_steps(path, senders, clock_step):
    """A golden transcript as steps: the senders' frames and the frames an
    entity received (step 0, as they come), and the time between them."""
    steps, now = b"", 0
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        frame, m = None, LINE_FRAME.match(line)
        if m:
            ms = int(m.group(1))
            if ms > now:
                steps += bytes([clock_step, min(255, (ms - now) // 100)])
                now = ms
            if m.group(2) in senders and m.group(3) == ">":
                frame = bytes.fromhex(m.group(4))
        elif TRACED_RX.match(line):
            frame = bytes.fromhex(TRACED_RX.match(line).group(1))
        if frame and len(frame) < 256:
            steps += bytes([0, len(frame)]) + frame
    return steps


def isdn(src, corpus):
    """Q.921 seeds from the golden transcripts: the network's frames into the
    user side (primary rate established, or basic rate awaiting its TEI), the
    terminals' frames into the network side; every frame for the trace."""
    folder = os.path.join(src, "signalling/isdn/tests/golden")
    pri = mode(lambda m: m % 3 == 1 and not m & 4 and (m >> 3) % 5 == 3)
    bri = mode(lambda m: m % 3 == 0 and m & 4 and (m >> 3) % 5 == 4)
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if name.endswith("-board.txt"):
            continue
        if name.startswith(("pri-", "bri-")):
            corpus.add("lapd", bytes([bri if name.startswith("bri-") else pri]) + isdn_steps(path, {"net"}, 6))
        if name.startswith("nt-"):
            steps = isdn_steps(path, {"te%d" % i for i in range(1, 10)}, 5)
            for start in range(4):
                corpus.add("lapd_nt", bytes([start | 2 << 2 | 2 << 4]) + steps)
        for line in open(path, encoding="utf-8"):
            m = LINE_FRAME.match(line.rstrip("\n")) or re.match(r"(?:.*: [rt]x: +| )" + HEX, line.rstrip("\n"))
            if m:
                to_user = int(m.group(2) == "net") if m.re is LINE_FRAME else 1
                corpus.add("isdn_trace", bytes([0xFE | to_user]) + bytes.fromhex(m.groups()[-1]))


def ppp_auth(src, corpus):
    """The records the proxy tests send, of their session and of the fuzz
    target's (-1): each alone, and all in one stream cut in a few ways."""
    text = open(os.path.join(src, "media/tests/PppAuthTest.cpp"), encoding="utf-8").read()
    bodies = {1: b"alice".ljust(64, b"\0") + b"secret".ljust(64, b"\0"), 4: bytes(range(52))}
    records = []
    for length, kind, session in re.findall(r"record\((\d+), (\d+), (-?\d+)", text):
        length, kind = int(length), int(kind)
        for s in {int(session), -1}:
            body = bodies.get(kind, b"").ljust(max(0, length - 12), b"\0")
            records.append((struct.pack(">IIi", length, kind, s) + body)[:length])
    for r in records:
        corpus.add("ppp_auth", b"\0" + r)
    for cut in (0, 1, 7, 100):
        corpus.add("ppp_auth", bytes([cut]) + b"".join(r for r in records if 12 <= len(r) <= 512))


def hand_made(src, corpus):
    seeds = os.path.join(src, "fuzz/seeds")
    for target in sorted(os.listdir(seeds)):
        for name in sorted(os.listdir(os.path.join(seeds, target))):
            corpus.add(target, open(os.path.join(seeds, target, name), "rb").read())


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip())
    src, out = sys.argv[1:]
    shutil.rmtree(out, ignore_errors=True)
    corpus = Corpus(out)
    vectors(src, corpus)
    ss7(src, corpus)
    radio(src, corpus)
    isdn(src, corpus)
    ppp_auth(src, corpus)
    hand_made(src, corpus)
    for target in sorted(os.listdir(out)):
        print("%-20s %d seeds" % (target, len(os.listdir(os.path.join(out, target)))))


if __name__ == "__main__":
    main()
