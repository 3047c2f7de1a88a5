#!/usr/bin/python3
"""The translation catalogs hold every text the program shows, each translated.

Runs lupdate over the sources into copies of translations/*.ts (the catalogs themselves stay as
they are) and fails on a text with no finished translation (a new tr() text), on one the
sources no longer have (obsolete or vanished), on a translation that loses or gains a %1..%9
placeholder, and on a plural without its forms.
Exits 77 (skip) without lupdate, 1 when a check fails, 0 when all pass.
"""

import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SOURCE_DIRS = ["app", "calls", "capture", "contacts", "transfer", "widgets", "platform"]


def text_of(element):
    """The text of a source or translation, with the control characters lupdate writes as <byte>."""
    if element is None:
        return ""
    out = element.text or ""
    for child in element:
        if child.tag == "byte":
            out += chr(int(child.get("value").lstrip("x"), 16))
        out += child.tail or ""
    return out


def problems_in(path):
    found = []
    root = ET.parse(path).getroot()
    for context in root.findall("context"):
        name = context.findtext("name")
        for message in context.findall("message"):
            source = text_of(message.find("source"))
            where = "%s: %s: %r" % (os.path.basename(path), name, source)
            translation = message.find("translation")
            kind = translation.get("type") if translation is not None else "missing"
            if kind in ("unfinished", "obsolete", "vanished", "missing"):
                found.append("%s is %s" % (where, kind))
                continue
            wanted = sorted(set(re.findall(r"%\d", source)))
            if message.get("numerus") == "yes":
                forms = [text_of(f) for f in translation.findall("numerusform")]
                if not forms or any(not f.strip() for f in forms):
                    found.append("%s lacks a plural form" % where)
                texts = forms
            else:
                texts = [text_of(translation)]
                if not texts[0].strip():
                    found.append("%s is empty" % where)
            for text in texts:
                if sorted(set(re.findall(r"%\d", text))) != wanted:
                    found.append("%s: the translation %r changes the placeholders" % (where, text))
    return found


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--source", required=True, help="the repository's root")
    ap.add_argument("--lupdate", default=shutil.which("lupdate") or "/usr/lib/qt6/bin/lupdate")
    args = ap.parse_args()
    if not os.access(args.lupdate, os.X_OK):
        print("SKIP: lupdate not found (apt-get install qt6-l10n-tools)")
        return 77
    catalogs = sorted(glob.glob(os.path.join(args.source, "translations", "parlavue_*.ts")))
    if len(catalogs) < 3:
        print("FAIL: expected the German, French and Spanish catalogs, found %r" % catalogs)
        return 1
    problems = []
    with tempfile.TemporaryDirectory(prefix="parlavue-ts-") as tmp:
        copies = []
        for catalog in catalogs:
            copy = os.path.join(tmp, os.path.basename(catalog))
            shutil.copy(catalog, copy)
            copies.append(copy)
        run = subprocess.run([args.lupdate, "-locations", "none"] + SOURCE_DIRS + ["-ts"] + copies,
                             cwd=args.source, capture_output=True, text=True, timeout=300)
        if run.returncode != 0:
            print("FAIL: lupdate failed:\n" + run.stdout + run.stderr)
            return 1
        for copy in copies:
            problems += problems_in(copy)
    if problems:
        print("FAIL: %d catalog problems:\n    %s" % (len(problems), "\n    ".join(problems)))
        return 1
    print("PASS: %d catalogs, every text translated" % len(catalogs))
    return 0


if __name__ == "__main__":
    sys.exit(main())
