#!/usr/bin/python3
"""Fails when a text of the sources has no English translation in the committed .ts file.

Usage: check_translations.py LUPDATE TS_FILE [lupdate options...] -- SOURCES...

lupdate brings a copy of TS_FILE up to date with the sources, so a text added to the code and not
translated shows up as unfinished. Each translation must also keep the source's placeholders
(%1, %2, ...) and hold no Chinese left untranslated.
"""
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

CJK = re.compile("[\u3000-\u303f\u4e00-\u9fff\uff00-\uffef]")
PLACEHOLDER = re.compile(r"%\d")


def main(argv):
    lupdate, ts_file = argv[1], argv[2]
    split = argv.index("--")
    options, sources = argv[3:split], argv[split + 1:]
    with tempfile.TemporaryDirectory() as tmp:
        copy = tmp + "/check.ts"
        shutil.copyfile(ts_file, copy)
        subprocess.run([lupdate, *options, *sources, "-ts", copy], check=True,
                       stdout=subprocess.DEVNULL)
        root = ET.parse(copy).getroot()
    problems = []
    count = 0
    for context in root.iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            count += 1
            source = message.findtext("source") or ""
            translation = message.find("translation")
            text = translation.text if translation is not None else None
            where = f"[{name}] {source!r}"
            if translation is None or not text or translation.get("type") == "unfinished":
                problems.append(f"no English translation: {where}")
            elif sorted(PLACEHOLDER.findall(source)) != sorted(PLACEHOLDER.findall(text)):
                problems.append(f"placeholders differ: {where} -> {text!r}")
            elif CJK.search(text):
                problems.append(f"Chinese left in the translation: {where} -> {text!r}")
    for p in problems:
        print(p)
    print(f"{count} texts, {len(problems)} without a sound English translation")
    return 1 if problems or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
