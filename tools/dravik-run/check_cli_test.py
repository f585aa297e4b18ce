#!/usr/bin/env python3
"""The authors' check as they run it, the real executable (natively, or dravik-run.exe under
Wine): the sample game reports nothing; a copy with a misspelt [works for], an anchor gone
from a game file, two scripts replacing the same line and a pack with a stale key reports
each once, with its file and line, and changes nothing.

    check_cli_test.py SAMPLE_GAME_DIR [EMULATOR ...] DRAVIK_RUN
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile


def tree(root):
    """Every file below root with its bytes' digest and last-write time."""
    found = {}
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, root)] = (hashlib.sha256(f.read()).hexdigest(),
                                                      os.stat(path).st_mtime_ns)
    return found


def check(game, command):
    before = tree(game)
    run = subprocess.run(command + ["check"], cwd=game, capture_output=True, text=True)
    if tree(game) != before:
        sys.exit("FAIL: the check changed the game folder")
    lines = [line for line in run.stdout.splitlines() if not line.startswith("check: ")]
    return run.returncode, lines, run.stdout


def edit(path, old, new):
    with open(path, "rb") as f:
        data = f.read()
    if old.encode() not in data:
        sys.exit(f"FAIL: {old!r} not in {path}")
    with open(path, "wb") as f:
        f.write(data.replace(old.encode(), new.encode(), 1))


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode())


def main():
    sample, command = sys.argv[1], sys.argv[2:]
    with tempfile.TemporaryDirectory() as scratch:
        game = os.path.join(scratch, "game")
        shutil.copytree(sample, game)
        code, lines, out = check(game, command)
        if code != 0 or lines:
            sys.exit(f"FAIL: the sample game gives findings (exit {code}):\n{out}")

        sub = os.path.join(game, "data", "campaign", "sub")
        edit(os.path.join(sub, "royal_titles.txt"), "norvale", "norvael")
        edit(os.path.join(game, "data", "units", "infantry", "spearmen.cfg"), "hp=10\r\n", "")
        for name, value in (("tweak_a", "3"), ("tweak_b", "4")):
            write(os.path.join(sub, name + ".txt"),
                  "[name]\nTougher spearmen\n[works for]\neastmarch\n[files]\n"
                  f"replace data\\units\\infantry\\spearmen.cfg with armour.txt on:\narmour=2\n<end>\n")
            write(os.path.join(sub, name, "armour.txt"), f"armour={value}\n")
        edit(os.path.join(game, "data", "campaign", "translation", "deutsch", "menu.txt"),
             "{MENU_START}", "{MENU_GONE}Weg\r\n{MENU_START}")

        code, lines, out = check(game, command)
        expected = [
            ("data\\campaign\\sub\\easy.txt:12: error: ", "does not contain: | hp=10"),
            ("data\\campaign\\sub\\royal_titles.txt:", "[works for] names no campaign: \"norvael\""),
            ("data\\campaign\\sub\\tweak_b.txt:6: error: ",
             "tweak_a.txt and tweak_b.txt both change line 4 of data\\units\\infantry\\spearmen.cfg"),
            ("data\\campaign\\translation\\deutsch\\menu.txt:1: warning: ", "{MENU_GONE}"),
        ]
        problems = [] if code == 1 else [f"exit code {code}, not 1"]
        for start, text in expected:
            found = [line for line in lines if line.startswith(start) and text in line]
            if len(found) != 1:
                problems.append(f"{len(found)} findings of {start}...{text}")
        if len(lines) != len(expected):
            problems.append(f"{len(lines)} findings, not {len(expected)}")
        if problems:
            sys.exit("FAIL: " + "; ".join(problems) + "\n" + out)
        print(out, end="")


if __name__ == "__main__":
    main()
