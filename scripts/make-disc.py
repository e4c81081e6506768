#!/usr/bin/env python3
"""Lays out the sample CD-ROM image through SETUPMK.EXE, from the sample game
folder it puts together first.

    make-disc.py --out DIR --maker SETUPMK.EXE --program FOLDER --game GAME.EXE
                 --dxsetup DXSETUP.EXE --readme README.TXT --splash SPLASHDIR [--allow CHECK]...
                 [--japanese-names]

The sample game folder, the game as it stands after the install, is rebuilt
in DIR.game:

    GAME.EXE  GAME.DAT  README.TXT  OPENING.DAT  BGM/TRACK01.WAV  BGM/TRACK02.WAV

SETUPMK.EXE (run under Wine by scripts/setupmk.sh) makes the disc from it with
SETUP.EXE and DSETUP.dll from FOLDER, the splash bitmaps and DXSETUP.EXE as the
runtime's setup program, and checks it; any finding but those allowed fails
the build (the 64-bit build's disc carries 64-bit programs, which the check
names). DIR is rebuilt from nothing on every run: the disc is made beside it
and swapped in at the end, so a failed run leaves no half-made disc behind.

With --japanese-names the same game goes under Japanese names instead, each
holding a character whose second byte in code page 932 is 0x5C, a backslash
byte (ソ 83 5C, 表 95 5C, 能 94 5C): the game's name, its program, a data file,
a subfolder and a file in it, its install folder, record key and shortcut
folder. That disc, laid out in a folder whose own name has such characters,
proves the program's paths under another system code page; it leaves out the
40 MiB movie and the music:

    能力表.EXE  ソフト表.DAT  README.TXT  表示/ソース.DAT

README.TXT is kept in UTF-8 in the repository and written in code page 932
with CRLF line ends, as the game shows it. GAME.DAT is generated here and the
two WAV tracks by sample/game/music.py; integer-only arithmetic keeps them
byte-for-byte the same on every host.
"""

import argparse
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys

SPLASH_NAMES = [f"SETUP{i}.BMP" for i in range(4)]
SCRIPTS = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # nothing is written into the source tree
sys.path.insert(0, os.path.join(SCRIPTS, "..", "sample", "game"))
import music  # noqa: E402  the sample game's synthesised tracks

# What SETUPMK is told about the sample game: its name, program, install
# folder and record key, and its two Start-menu shortcuts.
GAME_NAME = "サンプルアドベンチャー"
MAKER_OPTIONS = [
    "--name", GAME_NAME, "--exe", "GAME.EXE", "--dir", "SampleAdventure", "--reg", "SampleAdventure",
    "--shortcut-folder", GAME_NAME,
    "--shortcut", f"{GAME_NAME}=GAME.EXE", "--description", "ゲームを起動します",
    "--shortcut", "お読みください=README.TXT", "--icon", "GAME.EXE,1",
]


JAPANESE_GAME_NAME = "能力表ソフト"
JAPANESE_MAKER_OPTIONS = [
    "--name", JAPANESE_GAME_NAME, "--exe", "能力表.EXE", "--dir", JAPANESE_GAME_NAME, "--reg", JAPANESE_GAME_NAME,
    "--shortcut-folder", JAPANESE_GAME_NAME,
    "--shortcut", f"{JAPANESE_GAME_NAME}=能力表.EXE", "--description", "ゲームを起動します",
    "--shortcut", "お読みください=README.TXT", "--icon", "能力表.EXE,1",
]


class DiscError(Exception):
    pass


# --- text files ---------------------------------------------------------------

def to_disc_text(source_path):
    """UTF-8 text (any line ends) to code page 932 with CRLF line ends."""
    with open(source_path, encoding="utf-8-sig") as f:
        lines = f.read().splitlines()
    text = "".join(line + "\r\n" for line in lines)
    try:
        return text.encode("cp932")
    except UnicodeEncodeError as e:
        bad = text[e.start:e.end]
        raise DiscError(f"{source_path}: {bad!r} has no code page 932 form") from None


# --- GAME.DAT -------------------------------------------------------------------

GAME_DAT_BLOCKS = 96  # of 4 KiB each


def game_data():
    """A small header and 384 KiB of hash-stream bytes: stands in for packed
    game data, and does not compress, like the real thing."""
    header = struct.pack("<8sII", b"SADVDAT\0", 1, GAME_DAT_BLOCKS)
    blocks = bytearray()
    for block in range(GAME_DAT_BLOCKS):
        for part in range(4096 // 32):
            blocks += hashlib.sha256(b"SampleAdventure:%d:%d" % (block, part)).digest()
    return header + bytes(blocks)


# --- OPENING.DAT -----------------------------------------------------------------

OPENING_MIB = 40


def write_opening(path):
    """40 MiB standing in for the opening movie: enough that an install takes
    long enough to watch its progress bar. One 64 KiB block of hash-stream
    bytes, each copy stamped with its place, so no two blocks are the same."""
    block = bytearray()
    for part in range(65536 // 32):
        block += hashlib.sha256(b"SampleAdventure:opening:%d" % part).digest()
    with open(path, "wb") as f:
        for mib in range(OPENING_MIB):
            for sixteenth in range(16):
                stamp = struct.pack("<II", mib, sixteenth)
                f.write(stamp + bytes(block[len(stamp):]))


# --- putting it together ---------------------------------------------------------------

def make_game_folder(args, game):
    """The sample game as it stands after the install."""
    os.makedirs(os.path.join(game, "BGM"))
    shutil.copyfile(args.game, os.path.join(game, "GAME.EXE"))
    with open(os.path.join(game, "GAME.DAT"), "wb") as f:
        f.write(game_data())
    music.write_tracks(os.path.join(game, "BGM"))
    with open(os.path.join(game, "README.TXT"), "wb") as f:
        f.write(to_disc_text(args.readme))
    write_opening(os.path.join(game, "OPENING.DAT"))


def make_japanese_game_folder(args, game):
    """The sample game under names with 0x5C second bytes, without the big files."""
    os.makedirs(os.path.join(game, "表示"))
    shutil.copyfile(args.game, os.path.join(game, "能力表.EXE"))
    data = game_data()
    with open(os.path.join(game, "ソフト表.DAT"), "wb") as f:
        f.write(data)
    with open(os.path.join(game, "表示", "ソース.DAT"), "wb") as f:
        f.write(data[::-1])
    with open(os.path.join(game, "README.TXT"), "wb") as f:
        f.write(to_disc_text(args.readme))


def build(args, game, runtime, stage):
    (make_japanese_game_folder if args.japanese_names else make_game_folder)(args, game)
    # The runtime's setup program lies in the source folder, which DSETUP.dll
    # is given as its root.
    os.makedirs(runtime)
    shutil.copyfile(args.dxsetup, os.path.join(runtime, "DXSETUP.EXE"))
    splash = []
    for slot, name in enumerate(SPLASH_NAMES):
        splash += ["--splash", f"{slot}={os.path.join(args.splash, name)}"]
    options = JAPANESE_MAKER_OPTIONS if args.japanese_names else MAKER_OPTIONS
    command = [os.path.join(SCRIPTS, "setupmk.sh"), "--json", *options, "--directx", runtime, *splash,
               "--program", args.program, game, stage]
    done = subprocess.run(command, env=dict(os.environ, SETUPMK_EXE=os.path.abspath(args.maker)),
                          capture_output=True, text=True)
    try:
        report = json.loads(done.stdout)
    except ValueError:
        report = {"findings": []}
    unexpected = [f for f in report["findings"] if f["check"] not in args.allow]
    if done.returncode not in (0, 1) or unexpected:
        raise DiscError(f"SETUPMK ended with {done.returncode}:\n{done.stdout}{done.stderr}")


def main(argv):
    parser = argparse.ArgumentParser(description="Lay out the sample CD-ROM image.")
    parser.add_argument("--out", required=True, help="the disc folder, rebuilt from nothing")
    parser.add_argument("--maker", required=True, help="a SETUPMK.EXE that runs under 64-bit Wine")
    parser.add_argument("--program", required=True, help="the folder of the built SETUP.EXE and DSETUP.dll")
    parser.add_argument("--game", required=True, help="the built GAME.EXE")
    parser.add_argument("--dxsetup", required=True, help="the built stand-in DXSETUP.EXE")
    parser.add_argument("--readme", required=True, help="README.TXT, UTF-8")
    parser.add_argument("--splash", required=True, help="folder holding SETUP0.BMP .. SETUP3.BMP")
    parser.add_argument("--allow", action="append", default=[],
                        help="a finding of SETUPMK's check that does not fail the build (repeatable)")
    parser.add_argument("--japanese-names", action="store_true",
                        help="the game under Japanese names with 0x5C second bytes (see above)")
    args = parser.parse_args(argv[1:])

    out = os.path.abspath(args.out)
    game, runtime, stage = out + ".game", out + ".directx", out + ".new"
    for folder in (game, runtime, stage):
        shutil.rmtree(folder, ignore_errors=True)
    try:
        build(args, game, runtime, stage)
    except (DiscError, music.MusicError, OSError) as e:
        shutil.rmtree(stage, ignore_errors=True)
        print(f"make-disc: {e}", file=sys.stderr)
        return 1
    shutil.rmtree(out, ignore_errors=True)
    os.rename(stage, out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
