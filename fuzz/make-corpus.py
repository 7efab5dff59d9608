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
    hand_made(src, corpus)
    for target in sorted(os.listdir(out)):
        print("%-20s %d seeds" % (target, len(os.listdir(os.path.join(out, target)))))


if __name__ == "__main__":
    main()
