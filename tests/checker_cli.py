#!/usr/bin/python3
"""SETUPCHK.EXE run as a publisher runs it, under Wine: its exit codes, its
text in the console's code page, its JSON, and its own folder as the default.

    checker_cli.py WINE_EXEC SETUPCHK.EXE SHIPPED_DISC X86_64_DISC
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile


def windows(path):
    return "Z:" + path.replace("/", "\\")


def main(wine_exec, checker, shipped, disc64):
    failures = []

    def expect(what, ok, detail):
        if not ok:
            failures.append(f"{what}: {detail}")

    def run(program, *args):
        done = subprocess.run([wine_exec, program, *args], capture_output=True, timeout=60)
        return done.returncode, done.stdout

    # The shipped disc is sound, but its programs are not signed.
    programs = ["SETUP.EXE", "DSETUP.dll", "DATA\\GAME.EXE", "DATA\\DXSETUP.EXE"]
    code, out = run(checker, windows(shipped))
    lines = out.decode("cp932").split("\r\n")
    expect("the shipped disc", code == 0 and len(lines) == 3 and lines[0].startswith(
           "warning: SETUP.EXE: 署名がありません: " + "、".join(programs) + "。") and lines[1] == "SETUPCHK: エラー 0 件、警告 1 件",
           f"exit {code}, {lines}")

    # The 64-bit build's disc carries 64-bit programs.
    code, out = run(checker, windows(disc64))
    lines = out.decode("cp932").split("\r\n")
    expect("text form", code == 1 and len(lines) == 5 and lines[0].startswith("error: SETUP.EXE: 32 ビット")
           and lines[1].startswith("error: DSETUP.dll: ") and lines[3] == "SETUPCHK: エラー 2 件、警告 1 件",
           f"exit {code}, {lines}")
    code, out = run(checker, "--json", windows(disc64))
    report = json.loads(out.decode("utf-8"))
    found = [(f["severity"], f["check"], f["key"]) for f in report["findings"]]
    expect("JSON form", code == 1 and report["disc"] == windows(disc64) and report["errors"] == 2
           and report["warnings"] == 1 and found == [("error", "setup-exe", "SETUP.EXE"), ("error", "dsetup", "DSETUP.dll"),
                                                     ("warning", "unsigned", "SETUP.EXE")]
           and "32 ビット" in report["findings"][0]["problem"] and report["findings"][2]["names"] == programs,
           f"exit {code}, {report}")

    code, out = run(checker, "--json", windows(os.path.join(shipped, "NOWHERE")))
    report = json.loads(out.decode("utf-8"))
    expect("a folder that is not there", code == 2 and [f["check"] for f in report["findings"]] == ["unreadable"],
           f"exit {code}, {report}")
    code, _ = run(checker, "--strict")
    expect("an unknown option", code == 2, f"exit {code}")

    # Without a folder it checks the disc it lies on.
    with tempfile.TemporaryDirectory() as temp:
        disc = os.path.join(temp, "disc")
        shutil.copytree(shipped, disc)
        shutil.copy(checker, os.path.join(disc, "SETUPCHK.EXE"))
        code, out = run(os.path.join(disc, "SETUPCHK.EXE"))
        expect("its own folder", code == 0, f"exit {code}, {out!r}")
        os.remove(os.path.join(disc, "SETUP.INI"))
        code, out = run(os.path.join(disc, "SETUPCHK.EXE"))
        expect("its own folder without SETUP.INI", code == 2 and out.decode("cp932").startswith("error: SETUP.INI: "),
               f"exit {code}, {out!r}")

    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
