#!/usr/bin/env python3
"""Fills fuzz/corpus/<target>/ (not kept in git) with the seeds of
fuzz/seeds/<target>/ and, for the SQL targets, with the SQL texts and
criteria the tests already use (the string literals of tests/ that begin with
a statement keyword, and the WHERE texts after them)."""
import hashlib
import os
import re
import shutil
import sys

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)
corpus = os.path.join(here, "corpus")

def put(target, data):
    folder = os.path.join(corpus, target)
    os.makedirs(folder, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)

for target in os.listdir(os.path.join(here, "seeds")):
    src = os.path.join(here, "seeds", target)
    for name in os.listdir(src):
        with open(os.path.join(src, name), "rb") as f:
            put(target, f.read())

literal = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
keyword = re.compile(r"^\s*(SELECT|INSERT|UPDATE|DELETE|PARAMETERS|TRANSFORM)\b", re.I)
where = re.compile(r"\bWHERE\b(.*?)(\bORDER BY\b|\bGROUP BY\b|$)", re.I | re.S)
for folder, _, files in os.walk(os.path.join(root, "tests")):
    for name in files:
        if not name.endswith(".cpp"):
            continue
        text = open(os.path.join(folder, name), encoding="utf-8", errors="replace").read()
        # Adjacent literals form one text.
        text = re.sub(r'"\s*\n\s*"', "", text)
        for m in literal.finditer(text):
            s = bytes(m.group(1), "utf-8").decode("unicode_escape", errors="replace").encode("utf-8", "replace")
            if not keyword.match(s.decode("utf-8", "replace")):
                continue
            for flags in (0, 16 | 2 | 4):
                put("fuzz_jet_sql", bytes([flags]) + s)
            w = where.search(s.decode("utf-8", "replace"))
            if w and w.group(1).strip():
                crit = w.group(1).strip().rstrip(";").encode()
                put("fuzz_jet_sql", b"\x01" + crit)
                put("fuzz_jet_eval", crit)
for target in sorted(os.listdir(corpus)):
    print(target, len(os.listdir(os.path.join(corpus, target))))
