#!/usr/bin/env python3
"""Checks the shipped SETUP.EXE: what it is built for, its resources and the
DLLs it needs, read straight from the PE file.

    check-artifact.py SETUP.EXE

Prints one line per check and exits 1 when any check fails (2 when the file
cannot be read as a PE file at all).
"""

import struct
import sys
import xml.etree.ElementTree as ET

RT_ICON = 3
RT_DIALOG = 5
RT_GROUP_ICON = 14
RT_MANIFEST = 24

IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
PE32_PLUS_MAGIC = 0x20B
SUBSYSTEM_WINDOWS_GUI = 2

DIR_IMPORT = 1
DIR_RESOURCE = 2
DIR_DELAY_IMPORT = 13

WS_POPUP = 0x80000000
WS_CHILD = 0x40000000
WS_VISIBLE = 0x10000000
WS_CAPTION = 0x00C00000
WS_GROUP = 0x00020000
WS_TABSTOP = 0x00010000
DS_SETFONT = 0x40
DS_MODALFRAME = 0x80
DS_CENTER = 0x800
BS_PUSHBUTTON = 0x0
SS_CENTER = 0x1

BUTTON_ATOM = 0x80
STATIC_ATOM = 0x82

DIALOG_ID = 101
DIALOG_STYLE = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_SETFONT
DIALOG_FONT = "\uff2d\uff33 \uff30\u30b4\u30b7\u30c3\u30af"  # MS P Gothic, full-width letters
BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON
STATIC_STYLE = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER
# (id, class atom, text, x, y, cx, cy, style), in template order.
DIALOG_CONTROLS = [
    (1003, BUTTON_ATOM, "\u5b9f\u884c", 55, 60, 45, 14, BUTTON_STYLE),
    (2, BUTTON_ATOM, "\u30ad\u30e3\u30f3\u30bb\u30eb", 105, 60, 45, 14, BUTTON_STYLE),
    (1002, BUTTON_ATOM, "\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb", 5, 60, 45, 14, BUTTON_STYLE),
    (1010, STATIC_ATOM, "", 5, 15, 150, 30, STATIC_STYLE),
]
CLASS_NAMES = {BUTTON_ATOM: "button", STATIC_ATOM: "static"}

ICON_GROUP_ID = 106
ICON_SIZES = [16, 32]

MANIFEST_ID = 1
MANIFEST_NS = "{urn:schemas-microsoft-com:asm.v1}"
MANIFEST_DESCRIPTION = "\u30a4\u30f3\u30b9\u30c8\u30fc\u30e9"

ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
                "comctl32.dll", "shlwapi.dll", "msvcrt.dll"}


class Malformed(Exception):
    pass


# --- the PE file --------------------------------------------------------------

class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise Malformed("no MZ header")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise Malformed("no PE signature")
        self.machine, section_count = struct.unpack_from("<HH", data, pe + 4)
        optional_size = self.u16(pe + 20)
        optional = pe + 24
        self.magic = self.u16(optional)
        if self.magic == PE32_MAGIC:
            dirs_at = optional + 96
        elif self.magic == PE32_PLUS_MAGIC:
            dirs_at = optional + 112
        else:
            raise Malformed(f"unknown optional header magic {self.magic:#x}")
        self.subsystem = self.u16(optional + 68)
        dir_count = self.u32(dirs_at - 4)
        self.directories = [struct.unpack_from("<II", data, dirs_at + 8 * i) for i in range(min(dir_count, 16))]
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset, raw_size))

    def u16(self, offset):
        return self._unpack("<H", offset)

    def u32(self, offset):
        return self._unpack("<I", offset)

    def _unpack(self, fmt, offset):
        try:
            return struct.unpack_from(fmt, self.data, offset)[0]
        except struct.error:
            raise Malformed(f"read past the end of the file at {offset:#x}") from None

    def offset_of(self, rva):
        for start, size, raw_offset, raw_size in self.sections:
            if start <= rva < start + size:
                if rva - start >= raw_size:
                    raise Malformed(f"RVA {rva:#x} has no file data")
                return raw_offset + rva - start
        raise Malformed(f"RVA {rva:#x} is in no section")

    def read(self, rva, size):
        offset = self.offset_of(rva)
        if offset + size > len(self.data):
            raise Malformed(f"{size} bytes at RVA {rva:#x} run past the end of the file")
        return self.data[offset:offset + size]

    def c_string(self, rva):
        offset = self.offset_of(rva)
        end = self.data.find(b"\0", offset)
        if end < 0:
            raise Malformed(f"unterminated string at RVA {rva:#x}")
        return self.data[offset:end].decode("ascii", "replace")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)


def read_resources(pe):
    """{(type, name): {language: bytes}} for numeric types and names; named
    entries are keyed by their string."""
    rva, size = pe.directory(DIR_RESOURCE)
    if rva == 0:
        return {}
    base = pe.offset_of(rva)

    def entries(offset):
        named, numbered = struct.unpack_from("<HH", pe.data, base + offset + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", pe.data, base + offset + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = pe.u16(at)
                name = pe.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield name, target

    resources = {}
    for type_id, type_dir in entries(0):
        if not type_dir & 0x80000000:
            raise Malformed("resource type entry is not a directory")
        for name, name_dir in entries(type_dir & 0x7FFFFFFF):
            if not name_dir & 0x80000000:
                raise Malformed("resource name entry is not a directory")
            for language, leaf in entries(name_dir & 0x7FFFFFFF):
                if leaf & 0x80000000:
                    raise Malformed("resource language entry is a directory")
                data_rva, data_size = struct.unpack_from("<II", pe.data, base + leaf)
                resources.setdefault((type_id, name), {})[language] = pe.read(data_rva, data_size)
    return resources


def resource(resources, type_id, name):
    """The resource's data (the first language when there are several), or None."""
    languages = resources.get((type_id, name))
    return next(iter(languages.values())) if languages else None


def imported_dlls(pe):
    names = []
    rva, _ = pe.directory(DIR_IMPORT)
    if rva:
        while True:
            descriptor = pe.read(rva, 20)
            if descriptor == bytes(20):
                break
            names.append(pe.c_string(struct.unpack_from("<I", descriptor, 12)[0]))
            rva += 20
    rva, _ = pe.directory(DIR_DELAY_IMPORT)
    if rva:
        while True:
            descriptor = pe.read(rva, 32)
            if descriptor == bytes(32):
                break
            attributes, name = struct.unpack_from("<II", descriptor, 0)
            if not attributes & 1:
                raise Malformed("delay-load descriptor with virtual addresses")
            names.append(pe.c_string(name) + " (delay-loaded)")
            rva += 32
    return names


# --- dialog templates -------------------------------------------------------------

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


def class_atom(value):
    """Predefined classes may be written as an atom or by name."""
    if isinstance(value, str):
        for atom, name in CLASS_NAMES.items():
            if value.lower() == name:
                return atom
    return value


# --- the checks -----------------------------------------------------------------------

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
        except (Malformed, struct.error, UnicodeDecodeError, IndexError) as e:
            self.check(name, False, f"cannot be read: {e}")


def check_header(report, pe):
    report.check("optional header is PE32", pe.magic == PE32_MAGIC, f"magic {pe.magic:#x}, want {PE32_MAGIC:#x}")
    report.check("machine is i386", pe.machine == IMAGE_FILE_MACHINE_I386,
                 f"machine {pe.machine:#x}, want {IMAGE_FILE_MACHINE_I386:#x}")
    report.check("subsystem is Windows GUI", pe.subsystem == SUBSYSTEM_WINDOWS_GUI,
                 f"subsystem {pe.subsystem}, want {SUBSYSTEM_WINDOWS_GUI}")


def describe_text(value):
    return repr(value) if not isinstance(value, int) else f"#{value:#x}"


def check_dialog(report, resources):
    data = resource(resources, RT_DIALOG, DIALOG_ID)
    if not report.check(f"dialog {DIALOG_ID} present", data is not None):
        return
    dialog = parse_dialog(data)
    kind = "DIALOGEX" if dialog["extended"] else "DIALOG"
    report.check(f"dialog {DIALOG_ID} style", dialog["style"] == DIALOG_STYLE,
                 f"{kind}, {dialog['style']:#010x}, want {DIALOG_STYLE:#010x}")
    report.check(f"dialog {DIALOG_ID} size", dialog["rect"][2:] == (159, 79),
                 f"{dialog['rect'][2]}x{dialog['rect'][3]}, want 159x79")
    report.check(f"dialog {DIALOG_ID} title is empty", dialog["title"] == "", repr(dialog["title"]))
    report.check(f"dialog {DIALOG_ID} font", dialog["font"] == (9, DIALOG_FONT),
                 f"{dialog['font']!r}, want {(9, DIALOG_FONT)!r}")
    controls = dialog["controls"]
    report.check(f"dialog {DIALOG_ID} has four controls", len(controls) == len(DIALOG_CONTROLS),
                 f"{len(controls)} controls")
    for index, (want, got) in enumerate(zip(DIALOG_CONTROLS, controls)):
        item_id, atom, text, x, y, cx, cy, style = want
        problems = []
        if got["id"] != item_id:
            problems.append(f"id {got['id']}, want {item_id}")
        if class_atom(got["class"]) != atom:
            problems.append(f"class {describe_text(got['class'])}, want {CLASS_NAMES[atom]}")
        if (got["text"] or "") != text:
            problems.append(f"text {describe_text(got['text'])}, want {text!r}")
        if got["rect"] != (x, y, cx, cy):
            problems.append(f"at {got['rect'][:2]} size {got['rect'][2:]}, want {(x, y)} size {(cx, cy)}")
        if got["style"] != style:
            problems.append(f"style {got['style']:#010x}, want {style:#010x}")
        report.check(f"dialog {DIALOG_ID} control {index + 1} (id {item_id}, {CLASS_NAMES[atom]} {text!r})",
                     not problems, "; ".join(problems))


def check_icon(report, resources):
    data = resource(resources, RT_GROUP_ICON, ICON_GROUP_ID)
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
        image = resource(resources, RT_ICON, icon_id)
        if not report.check(f"{name} image present", image is not None):
            continue
        header_size, dib_width, dib_height, _, dib_bits = struct.unpack_from("<IiiHH", image)
        report.check(f"{name} image matches its entry",
                     header_size == 40 and dib_width == width and dib_height == 2 * height and dib_bits == 4
                     and len(image) == length,
                     f"{dib_width}x{dib_height // 2}, {dib_bits} bits per pixel, {len(image)} bytes")
    report.check(f"icon group {ICON_GROUP_ID} sizes are 32x32 and 16x16", sorted(sizes) == ICON_SIZES,
                 ", ".join(f"{s}x{s}" for s in sizes))


def check_manifest(report, resources):
    data = resource(resources, RT_MANIFEST, MANIFEST_ID)
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
    want = {"version": "1.0.0.0", "type": "win32", "processorArchitecture": "X86"}
    got = {key: attrs.get(key) for key in want}
    report.check("manifest identity is 1.0.0.0, win32, X86", got == want, str(got))
    description = root.find(MANIFEST_NS + "description")
    text = description.text if description is not None else None
    report.check("manifest description", text == MANIFEST_DESCRIPTION, repr(text))
    found = None
    for identity in root.iterfind(f"{MANIFEST_NS}dependency/{MANIFEST_NS}dependentAssembly/"
                                  f"{MANIFEST_NS}assemblyIdentity"):
        if identity.get("name") == "Microsoft.Windows.Common-Controls":
            found = identity
    want = {"version": "6.0.0.0", "processorArchitecture": "X86"}
    got = {key: found.get(key) for key in want} if found is not None else None
    report.check("manifest depends on Common-Controls 6.0.0.0 for X86", got == want,
                 str(got) if got is not None else "no such dependency")


def check_imports(report, pe):
    names = imported_dlls(pe)
    report.check("imports read", bool(names), ", ".join(names) if names else "no imported DLLs")
    for name in names:
        report.check(f"import {name} is a system DLL", name.lower() in ALLOWED_DLLS)


def main(argv):
    if len(argv) != 2:
        print("usage: check-artifact.py SETUP.EXE", file=sys.stderr)
        return 2
    report = Report()
    try:
        with open(argv[1], "rb") as f:
            pe = PeFile(f.read())
    except (OSError, Malformed, struct.error) as e:
        report.check("PE file", False, str(e))
        return 2
    print(f"Checking {argv[1]}")
    report.guarded("PE headers", check_header, pe)
    try:
        resources = read_resources(pe)
    except (Malformed, struct.error, UnicodeDecodeError) as e:
        report.check("resource directory", False, f"cannot be read: {e}")
        resources = {}
    report.guarded(f"dialog {DIALOG_ID}", check_dialog, resources)
    report.guarded(f"icon group {ICON_GROUP_ID}", check_icon, resources)
    report.guarded(f"manifest {MANIFEST_ID}", check_manifest, resources)
    report.guarded("imports", check_imports, pe)
    print(f"{report.failures} check(s) failed" if report.failures else "all checks passed")
    return 1 if report.failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
