#!/usr/bin/python3
"""Checks a built disc's programs: what SETUP.EXE is built for, its dialog
templates, icon and manifest (with what it asks of Windows: code page 932,
elevation, the supported systems, DPI awareness) and the DLLs it needs, and
that the DSETUP.dll beside it gives exactly what SETUP.EXE imports from it, and
that the DXSETUP.EXE in the source folder is a GUI program for the same
processor, all read straight from the PE files. SETUP.EXE, DSETUP.dll and the
tools built beside the disc (../SETUPMK.EXE, ../checker/SETUPCHK.EXE) each carry
version information: a description, the product's name and the project's one
version from CMakeLists.txt.

    check-artifact.py [--target i686|x86_64] DISC_FOLDER

The target is the shipped 32-bit build unless named. Prints one line per check and exits 1 when any check fails (2 when the file
cannot be read as a PE file at all). The PE structures are read with Debian's
python3-pefile; the dialog templates with the reader below.
"""

import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

RT_ICON = 3
RT_DIALOG = 5
RT_GROUP_ICON = 14
RT_MANIFEST = 24

WS_POPUP = 0x80000000
WS_CHILD = 0x40000000
WS_VISIBLE = 0x10000000
WS_CAPTION = 0x00C00000
WS_BORDER = 0x00800000
WS_GROUP = 0x00020000
WS_TABSTOP = 0x00010000
DS_SETFONT = 0x40
DS_MODALFRAME = 0x80
DS_CENTER = 0x800
BS_PUSHBUTTON = 0x0
BS_DEFPUSHBUTTON = 0x1
BS_CENTER = 0x300
BS_VCENTER = 0xC00
SS_LEFT = 0x0
SS_CENTER = 0x1
SS_CENTERIMAGE = 0x200
SS_SUNKEN = 0x1000
PBS_SMOOTH = 0x1

BUTTON_ATOM = 0x80
STATIC_ATOM = 0x82
PROGRESS_CLASS = "msctls_progress32"
CLASS_NAMES = {BUTTON_ATOM: "button", STATIC_ATOM: "static"}
NO_ID = 0xFFFF  # -1 in a DIALOG template's 16-bit id field

FONT = (9, "\uff2d\uff33 \uff30\u30b4\u30b7\u30c3\u30af")  # MS P Gothic, full-width letters
CENTRED_DIALOG = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_SETFONT
BUTTON = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON
LABEL = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT

# id: (title, style, width, height, controls); each control is
# (id, class, text, x, y, cx, cy, style), in template order.
DIALOGS = {
    101: ("", CENTRED_DIALOG, 159, 79, [
        (1003, BUTTON_ATOM, "\u5b9f\u884c", 55, 60, 45, 14, BUTTON),
        (2, BUTTON_ATOM, "\u30ad\u30e3\u30f3\u30bb\u30eb", 105, 60, 45, 14, BUTTON),
        (1002, BUTTON_ATOM, "\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb", 5, 60, 45, 14, BUTTON),
        (1010, STATIC_ATOM, "", 5, 15, 150, 30, WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER),
    ]),
    102: ("インストール中．．．", CENTRED_DIALOG, 174, 75, [
        (2, BUTTON_ATOM, "キャンセル", 60, 50, 55, 15, BUTTON),
        (NO_ID, STATIC_ATOM, "ただいまインストールしています。しばらくお待ち下さい。", 5, 10, 161, 8, LABEL),
        (1001, PROGRESS_CLASS, "", 10, 30, 150, 11, WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH),
    ]),
    103: ("インストールするフォルダの指定", CENTRED_DIALOG, 235, 95, [
        (1, BUTTON_ATOM, "インストール開始", 80, 60, 70, 19, BUTTON | BS_CENTER | BS_VCENTER),
        (2, BUTTON_ATOM, "インストール中止", 155, 60, 70, 20, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON),
        (1007, BUTTON_ATOM, "インストール先の変更", 5, 60, 70, 19, BUTTON),
        (NO_ID, STATIC_ATOM, "インストール先", 5, 10, 44, 8, LABEL),
        (1008, STATIC_ATOM, "", 10, 23, 210, 12, WS_CHILD | WS_VISIBLE | SS_SUNKEN | SS_CENTERIMAGE),
        (1009, STATIC_ATOM, "", 10, 40, 210, 12, WS_CHILD | WS_VISIBLE | SS_SUNKEN),
    ]),
    105: ("アンインストール", WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 238, 95, [
        (1, BUTTON_ATOM, "アンインストール", 10, 65, 96, 15, BUTTON | BS_CENTER),
        (2, BUTTON_ATOM, "アンインストール中止", 130, 65, 95, 15, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON),
        (NO_ID, STATIC_ATOM, "アンインストールします。", 14, 5, 86, 8, WS_CHILD | WS_VISIBLE | SS_LEFT),
        (1006, STATIC_ATOM, "", 10, 35, 215, 12, WS_CHILD | WS_VISIBLE | WS_GROUP | SS_SUNKEN | SS_LEFT),
        (NO_ID, STATIC_ATOM, "アンインストールされるフォルダ", 5, 20, 105, 10, LABEL),
    ]),
}

ICON_GROUP_ID = 106
ICON_SIZES = [16, 32]

MANIFEST_ID = 1
MANIFEST_NS = "{urn:schemas-microsoft-com:asm.v1}"
MANIFEST_DESCRIPTION = "\u30a4\u30f3\u30b9\u30c8\u30fc\u30e9"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY_NS = "{urn:schemas-microsoft-com:compatibility.v1}"
SETTINGS_2005_NS = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SETTINGS_2019_NS = "{http://schemas.microsoft.com/SMI/2019/WindowsSettings}"
# Vista, 7, 8, 8.1, and 10 (which 11 shares).
SUPPORTED_OS = ["{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"]

# What each build is: PE magic, machine, and the manifest's processor name.
TARGETS = {
    "i686": ("PE32", pefile.OPTIONAL_HEADER_MAGIC_PE, "i386", pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"], "X86"),
    "x86_64": ("PE32+", pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS, "AMD64", pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"],
               "amd64"),
}

PRODUCT_NAME = "CD-ROM ゲームセットアップ"

DSETUP = "dsetup.dll"
DSETUP_ORDINALS = [5, 11]
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
               "oleaut32.dll", "comctl32.dll", "shlwapi.dll", "msvcrt.dll"}


class Malformed(Exception):
    pass


# --- what pefile reads ---------------------------------------------------------------

def read_resources(pe):
    """{(type, name): bytes} for the first language of every resource; named
    entries are keyed by their string."""
    resources = {}
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    if root is None:
        return resources

    def key(entry):
        return str(entry.name) if entry.name is not None else entry.id

    for type_entry in root.entries:
        for name_entry in getattr(type_entry, "directory", None).entries:
            languages = name_entry.directory.entries
            if not languages:
                continue
            data = languages[0].data.struct
            resources[(key(type_entry), key(name_entry))] = pe.get_data(data.OffsetToData, data.Size)
    return resources


def imports(pe):
    """[(dll, [name or ordinal, ...], delay_loaded)]"""
    result = []
    for attribute, delayed in (("DIRECTORY_ENTRY_IMPORT", False), ("DIRECTORY_ENTRY_DELAY_IMPORT", True)):
        for entry in getattr(pe, attribute, []):
            symbols = [s.name.decode("ascii") if s.name is not None else s.ordinal for s in entry.imports]
            result.append((entry.dll.decode("ascii"), symbols, delayed))
    return result


# --- dialog templates ----------------------------------------------------------------

class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, fmt):
        try:
            values = struct.unpack_from(fmt, self.data, self.pos)
        except struct.error:
            raise Malformed("dialog template ends early") from None
        self.pos += struct.calcsize(fmt)
        return values if len(values) > 1 else values[0]

    def text(self):
        end = self.pos
        while True:
            if end + 2 > len(self.data):
                raise Malformed("unterminated string in dialog template")
            if self.data[end:end + 2] == b"\0\0":
                break
            end += 2
        value = self.data[self.pos:end].decode("utf-16-le")
        self.pos = end + 2
        return value

    def text_or_ordinal(self):
        """A string, an int for an 0xFFFF ordinal, or None for an empty field."""
        first = self.take("<H")
        if first == 0xFFFF:
            return self.take("<H")
        if first == 0:
            return None
        self.pos -= 2
        return self.text()

    def align(self):
        self.pos = (self.pos + 3) & ~3


def parse_dialog(data):
    """The classic DLGTEMPLATE or DLGTEMPLATEEX as a dict."""
    r = Reader(data)
    extended = len(data) >= 4 and struct.unpack_from("<HH", data) == (1, 0xFFFF)
    if extended:
        _, _, _, ex_style, style, count, x, y, cx, cy = r.take("<HHIIIHhhhh")
    else:
        style, ex_style, count, x, y, cx, cy = r.take("<IIHhhhh")
    dialog = {"extended": extended, "style": style, "ex_style": ex_style, "rect": (x, y, cx, cy),
              "menu": r.text_or_ordinal(), "class": r.text_or_ordinal(), "title": r.text(),
              "font": None, "controls": []}
    if style & DS_SETFONT:
        if extended:
            points, _, _, _ = r.take("<HHBB")
        else:
            points = r.take("<H")
        dialog["font"] = (points, r.text())
    for _ in range(count):
        r.align()
        if extended:
            _, item_ex_style, item_style, x, y, cx, cy, item_id = r.take("<IIIhhhhI")
        else:
            item_style, item_ex_style, x, y, cx, cy, item_id = r.take("<IIhhhhH")
        control = {"id": item_id, "style": item_style, "ex_style": item_ex_style, "rect": (x, y, cx, cy),
                   "class": r.text_or_ordinal(), "text": r.text_or_ordinal()}
        extra = r.take("<H")
        r.pos += extra
        dialog["controls"].append(control)
    return dialog


def class_key(value):
    """Predefined classes may be written as an atom or by name; others by name."""
    if isinstance(value, str):
        for atom, name in CLASS_NAMES.items():
            if value.lower() == name:
                return atom
        return value.lower()
    return value


def describe(value):
    if isinstance(value, int):
        return CLASS_NAMES.get(value, f"#{value:#x}")
    return repr(value)


# --- the checks ------------------------------------------------------------------------

class Report:
    def __init__(self):
        self.failures = 0

    def check(self, name, ok, detail=""):
        if not ok:
            self.failures += 1
        print(f"{'PASS' if ok else 'FAIL'}  {name}" + (f": {detail}" if detail else ""))
        return ok

    def guarded(self, name, fn, *args):
        """Runs one group of checks; a malformed structure fails the group."""
        try:
            fn(self, *args)
        except (Malformed, pefile.PEFormatError, struct.error, UnicodeDecodeError, IndexError,
                AttributeError) as e:
            self.check(name, False, f"cannot be read: {e}")


def check_header(report, pe, target, name="SETUP.EXE"):
    magic_name, want_magic, machine_name, want_machine, _ = TARGETS[target]
    magic = pe.OPTIONAL_HEADER.Magic
    machine = pe.FILE_HEADER.Machine
    report.check(f"{name} optional header is {magic_name}", magic == want_magic, f"magic {magic:#x}")
    report.check(f"{name} machine is {machine_name}", machine == want_machine, f"machine {machine:#x}")
    if not pe.is_dll():
        subsystem = pe.OPTIONAL_HEADER.Subsystem
        report.check(f"{name} subsystem is Windows GUI",
                     subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"], f"subsystem {subsystem}")


def check_dialog(report, resources, dialog_id):
    title, style, width, height, expected = DIALOGS[dialog_id]
    name = f"dialog {dialog_id}"
    data = resources.get((RT_DIALOG, dialog_id))
    if not report.check(f"{name} present", data is not None):
        return
    dialog = parse_dialog(data)
    kind = "DIALOGEX" if dialog["extended"] else "DIALOG"
    report.check(f"{name} style", dialog["style"] == style, f"{kind}, {dialog['style']:#010x}, want {style:#010x}")
    report.check(f"{name} size", dialog["rect"][2:] == (width, height),
                 f"{dialog['rect'][2]}x{dialog['rect'][3]}, want {width}x{height}")
    report.check(f"{name} title", dialog["title"] == title, f"{dialog['title']!r}, want {title!r}")
    report.check(f"{name} font", dialog["font"] == FONT, f"{dialog['font']!r}, want {FONT!r}")
    controls = dialog["controls"]
    report.check(f"{name} has {len(expected)} controls", len(controls) == len(expected), f"{len(controls)} controls")
    for index, (want, got) in enumerate(zip(expected, controls)):
        item_id, cls, text, x, y, cx, cy, item_style = want
        problems = []
        if got["id"] != item_id:
            problems.append(f"id {got['id']}, want {item_id}")
        if class_key(got["class"]) != class_key(cls):
            problems.append(f"class {describe(got['class'])}, want {describe(cls)}")
        if (got["text"] or "") != text:
            problems.append(f"text {describe(got['text'])}, want {text!r}")
        if got["rect"] != (x, y, cx, cy):
            problems.append(f"at {got['rect'][:2]} size {got['rect'][2:]}, want {(x, y)} size {(cx, cy)}")
        if got["style"] != item_style:
            problems.append(f"style {got['style']:#010x}, want {item_style:#010x}")
        report.check(f"{name} control {index + 1} (id {item_id}, {describe(cls)} {text!r})",
                     not problems, "; ".join(problems))


def check_icon(report, resources):
    data = resources.get((RT_GROUP_ICON, ICON_GROUP_ID))
    if not report.check(f"icon group {ICON_GROUP_ID} present", data is not None):
        return
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if not report.check(f"icon group {ICON_GROUP_ID} has two images", reserved == 0 and kind == 1 and count == 2,
                        f"{count} images"):
        return
    sizes = []
    for i in range(count):
        width, height, colours, _, planes, bits, length, icon_id = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        width = width or 256
        height = height or 256
        sizes.append(width)
        name = f"icon group {ICON_GROUP_ID} image {i + 1} ({width}x{height}, RT_ICON {icon_id})"
        report.check(f"{name} has 16 colours", colours == 16 and bits == 4,
                     f"colour count {colours}, {bits} bits per pixel")
        image = resources.get((RT_ICON, icon_id))
        if not report.check(f"{name} image present", image is not None):
            continue
        header_size, dib_width, dib_height, _, dib_bits = struct.unpack_from("<IiiHH", image)
        report.check(f"{name} image matches its entry",
                     header_size == 40 and dib_width == width and dib_height == 2 * height and dib_bits == 4
                     and len(image) == length,
                     f"{dib_width}x{dib_height // 2}, {dib_bits} bits per pixel, {len(image)} bytes")
    report.check(f"icon group {ICON_GROUP_ID} sizes are 32x32 and 16x16", sorted(sizes) == ICON_SIZES,
                 ", ".join(f"{s}x{s}" for s in sizes))


def check_manifest(report, resources, target):
    architecture = TARGETS[target][4]
    data = resources.get((RT_MANIFEST, MANIFEST_ID))
    if not report.check(f"manifest {MANIFEST_ID} present", data is not None):
        return
    try:
        root = ET.fromstring(data)
    except ET.ParseError as e:
        report.check("manifest is well-formed XML", False, str(e))
        return
    report.check("manifest is well-formed XML", root.tag == MANIFEST_NS + "assembly", root.tag)
    own = root.find(MANIFEST_NS + "assemblyIdentity")
    attrs = own.attrib if own is not None else {}
    version = ".".join(str(n) for n in project_version() or ()) + ".0"
    want = {"version": version, "type": "win32", "processorArchitecture": architecture}
    got = {key: attrs.get(key) for key in want}
    report.check(f"manifest identity is the project's {version}, win32, {architecture}", got == want, str(got))
    description = root.find(MANIFEST_NS + "description")
    text = description.text if description is not None else None
    report.check("manifest description", text == MANIFEST_DESCRIPTION, repr(text))
    found = None
    for identity in root.iterfind(f"{MANIFEST_NS}dependency/{MANIFEST_NS}dependentAssembly/"
                                  f"{MANIFEST_NS}assemblyIdentity"):
        if identity.get("name") == "Microsoft.Windows.Common-Controls":
            found = identity
    want = {"version": "6.0.0.0", "processorArchitecture": architecture}
    got = {key: found.get(key) for key in want} if found is not None else None
    report.check(f"manifest depends on Common-Controls 6.0.0.0 for {architecture}", got == want,
                 str(got) if got is not None else "no such dependency")

    levels = root.findall(f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
                          f"{ASM_V3}requestedExecutionLevel")
    got = [dict(level.attrib) for level in levels]
    report.check("manifest requires administrator rights, without UI access",
                 got == [{"level": "requireAdministrator", "uiAccess": "false"}], str(got))

    ids = [entry.get("Id") for entry in root.iterfind(f"{COMPATIBILITY_NS}compatibility/{COMPATIBILITY_NS}application/"
                                                f"{COMPATIBILITY_NS}supportedOS")]
    report.check("manifest supports Windows Vista, 7, 8, 8.1 and 10/11",
                 sorted(i.lower() for i in ids if i) == sorted(SUPPORTED_OS) and len(ids) == len(SUPPORTED_OS),
                 ", ".join(str(i) for i in ids) or "no supportedOS")

    settings = f"{ASM_V3}application/{ASM_V3}windowsSettings/"

    def setting_texts(path):
        return [(element.text or "").strip() for element in root.iterfind(settings + path)]

    got = setting_texts(f"{SETTINGS_2005_NS}dpiAware")
    report.check("manifest declares system DPI awareness (dpiAware true)", got == ["true"], str(got))
    got = setting_texts(f"{SETTINGS_2019_NS}dpiAwareness") + setting_texts(f"{SETTINGS_2005_NS}dpiAwareness")
    report.check("manifest declares no per-monitor DPI awareness", got == [], str(got))
    got = setting_texts(f"{SETTINGS_2019_NS}activeCodePage")
    report.check("manifest asks for the active code page ja-JP", got == ["ja-JP"], str(got))


def check_imports(report, pe):
    found = imports(pe)
    report.check("imports read", bool(found), ", ".join(dll for dll, _, _ in found) or "no imported DLLs")
    dsetup = [(symbols, delayed) for dll, symbols, delayed in found if dll.lower() == DSETUP]
    for dll, _, delayed in found:
        if dll.lower() != DSETUP:
            report.check(f"import {dll}{' (delay-loaded)' if delayed else ''} is a system DLL",
                         dll.lower() in SYSTEM_DLLS)
    symbols = sorted(s for entries, _ in dsetup for s in entries if isinstance(s, int))
    names = [s for entries, _ in dsetup for s in entries if not isinstance(s, int)]
    report.check(f"{DSETUP} imported by ordinals {DSETUP_ORDINALS} only, bound at load time",
                 len(dsetup) == 1 and not dsetup[0][1] and symbols == DSETUP_ORDINALS and not names,
                 f"{len(dsetup)} descriptor(s), ordinals {symbols}, names {names}, "
                 f"delay-loaded {[d for _, d in dsetup]}")


def check_dsetup(report, pe, target):
    check_header(report, pe, target, "DSETUP.dll")
    report.check("DSETUP.dll is a DLL", pe.is_dll())
    exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    symbols = [(s.ordinal, s.name) for s in exports.symbols] if exports is not None else []
    report.check(f"DSETUP.dll exports exactly ordinals {DSETUP_ORDINALS}, by ordinal only",
                 sorted(o for o, _ in symbols) == DSETUP_ORDINALS and all(n is None for _, n in symbols),
                 str(symbols))


def project_version():
    """The version of project() in CMakeLists.txt, which every program carries."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "CMakeLists.txt")
    with open(path, encoding="utf-8") as f:
        found = re.search(r"^project\(\S+ VERSION ([0-9]+)\.([0-9]+)\.([0-9]+)\b", f.read(), re.MULTILINE)
    return tuple(int(n) for n in found.groups()) if found else None


def check_version_info(report, pe, name, version):
    """The VERSIONINFO resource: the fixed part and the strings agree on the project's version."""
    strings = {}
    for info in getattr(pe, "FileInfo", None) or []:
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                strings.update({k.decode("utf-8"): v.decode("utf-8") for k, v in table.entries.items()})
    fixed = (pe.VS_FIXEDFILEINFO or [None])[0] if hasattr(pe, "VS_FIXEDFILEINFO") else None
    text = ".".join(str(n) for n in version) if version else None
    report.check(f"{name} version information names the project's version {text}", version is not None and
                 fixed is not None and strings.get("FileVersion") == text and strings.get("ProductVersion") == text and
                 (fixed.FileVersionMS, fixed.FileVersionLS) == ((version[0] << 16) | version[1], version[2] << 16) and
                 (fixed.ProductVersionMS, fixed.ProductVersionLS) == (fixed.FileVersionMS, fixed.FileVersionLS),
                 f"strings {strings.get('FileVersion')}/{strings.get('ProductVersion')}")
    report.check(f"{name} version information: product {PRODUCT_NAME}, a description, file name {name}",
                 strings.get("ProductName") == PRODUCT_NAME and strings.get("FileDescription", "").strip() != "" and
                 strings.get("OriginalFilename") == name, str(strings))


def load(report, path):
    try:
        return pefile.PE(path)
    except (OSError, pefile.PEFormatError) as e:
        report.check(f"{path} is a PE file", False, str(e))
        return None


def main(argv):
    target = "i686"
    if len(argv) == 4 and argv[1] == "--target" and argv[2] in TARGETS:
        target = argv[2]
        argv = argv[:1] + argv[3:]
    if len(argv) != 2:
        print("usage: check-artifact.py [--target i686|x86_64] DISC_FOLDER", file=sys.stderr)
        return 2
    report = Report()
    setup_path = os.path.join(argv[1], "SETUP.EXE")
    pe = load(report, setup_path)
    if pe is None:
        return 2
    print(f"Checking {setup_path}")
    report.guarded("PE headers", check_header, pe, target)
    try:
        resources = read_resources(pe)
    except (pefile.PEFormatError, AttributeError) as e:
        report.check("resource directory", False, f"cannot be read: {e}")
        resources = {}
    for dialog_id in DIALOGS:
        report.guarded(f"dialog {dialog_id}", check_dialog, resources, dialog_id)
    report.guarded(f"icon group {ICON_GROUP_ID}", check_icon, resources)
    report.guarded(f"manifest {MANIFEST_ID}", check_manifest, resources, target)
    report.guarded("imports", check_imports, pe)
    version = project_version()
    report.guarded("SETUP.EXE version", check_version_info, pe, "SETUP.EXE", version)

    dsetup_path = os.path.join(argv[1], "DSETUP.dll")
    dsetup = load(report, dsetup_path)
    if dsetup is not None:
        print(f"Checking {dsetup_path}")
        report.guarded("DSETUP.dll", check_dsetup, dsetup, target)
        report.guarded("DSETUP.dll version", check_version_info, dsetup, "DSETUP.dll", version)
    dxsetup_path = os.path.join(argv[1], "DATA", "DXSETUP.EXE")
    dxsetup = load(report, dxsetup_path)
    if dxsetup is not None:
        print(f"Checking {dxsetup_path}")
        report.guarded("DXSETUP.EXE", check_header, dxsetup, target, "DXSETUP.EXE")
    for tool in (os.path.join("..", "SETUPMK.EXE"), os.path.join("..", "checker", "SETUPCHK.EXE")):
        tool_path = os.path.normpath(os.path.join(argv[1], tool))
        program = load(report, tool_path)
        if program is not None:
            print(f"Checking {tool_path}")
            name = os.path.basename(tool_path)
            report.guarded(f"{name} version", check_version_info, program, name, version)
    print(f"{report.failures} check(s) failed" if report.failures else "all checks passed")
    return 1 if report.failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
