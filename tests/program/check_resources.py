#!/usr/bin/env python3
"""The programs' resources, read from their PE files, and the release
archive: each program carries manifest 1 (RT_MANIFEST), well-formed XML,
running asInvoker without uiAccess, naming Windows 7, 8, 8.1 and 10/11 as
its systems and depending on Common Controls 6; the window program declares
per-monitor DPI awareness (v2, v1, and true/pm), dlsindex none; and a version
resource with the project's version and its own names. The window program's
icon holds the sizes Windows asks for at 100-200 %. The archive holds the
four files.

usage: check_resources.py VERSION PROGRAM.exe DLSINDEX.exe ARCHIVE.zip
"""
import struct
import sys
import xml.etree.ElementTree as ET
import zipfile

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
SUPPORTED_OS = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",   # Windows 7
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",   # 8
                "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",   # 8.1
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}   # 10 and 11
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
ASM1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
WS2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
WS2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"


def resources(path):
    """{(type, id): bytes} of the PE file's resources (first language)."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rsrc_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = [struct.unpack_from("<8xIIII", data, optional + optional_size + 40 * n) for n in range(sections)]

    def offset(rva):
        for size, address, raw_size, raw in table:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError(f"RVA {rva:#x} outside every section")

    base = offset(rsrc_rva)

    def entries(at):
        named, ids = struct.unpack_from("<12xHH", data, base + at)
        for n in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + at + 16 + 8 * n)
            yield name, target

    found = {}
    for kind, to_names in entries(0):
        for name, to_languages in entries(to_names & 0x7FFFFFFF):
            _, leaf = next(entries(to_languages & 0x7FFFFFFF))
            rva, size = struct.unpack_from("<II", data, base + leaf)
            found[(kind, name)] = data[offset(rva):offset(rva) + size]
    return found


def nodes(blob, at, end):
    """The version resource's nodes between at and end: (key, where the value
    starts, value length, type, where the node's children start, its end)."""
    align = lambda n: (n + 3) & ~3
    while at + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", blob, at)
        if length == 0:
            break
        key_end = at + 6
        while blob[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = blob[at + 6:key_end].decode("utf-16-le")
        value = align(key_end + 2)
        value_bytes = value_length * 2 if kind == 1 else value_length
        yield key, value, value_length, kind, align(value + value_bytes), at + length
        at = align(at + length)


def version_strings(blob):
    """The StringFileInfo values of a version resource, and its fixed file
    version as text."""
    root = next(nodes(blob, 0, len(blob)))
    _, fixed, _, _, children, end = root
    signature, _, ms, ls = struct.unpack_from("<IIII", blob, fixed)
    number = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}" if signature == 0xFEEF04BD else "none"
    values = {}
    for key, _, _, _, tables, info_end in nodes(blob, children, end):
        if key != "StringFileInfo":
            continue
        for _, _, _, _, strings, table_end in nodes(blob, tables, info_end):
            for name, value, length, _, _, _ in nodes(blob, strings, table_end):
                values[name] = blob[value:value + 2 * length].decode("utf-16-le").rstrip("\0")
    return values, number


def check_manifest(manifest, file_name, dpi_aware, problems):
    """Windows refuses a program whose manifest is not well-formed: parse it."""
    try:
        root = ET.fromstring(manifest)
    except ET.ParseError as e:
        problems.append(f"{file_name}: the manifest is not well-formed XML: {e}")
        return
    if root.tag != ASM1 + "assembly":
        problems.append(f"{file_name}: the manifest's root is {root.tag}")
    levels = [(e.get("level"), e.get("uiAccess")) for e in root.iter(ASM3 + "requestedExecutionLevel")]
    if levels != [("asInvoker", "false")]:
        problems.append(f"{file_name}: execution levels {levels}")
    systems = {e.get("Id") for e in root.iter(COMPAT + "supportedOS")}
    if systems != SUPPORTED_OS:
        problems.append(f"{file_name}: supportedOS {sorted(systems)}")
    controls = [e.attrib for e in root.iter(ASM1 + "assemblyIdentity")
                if e.get("name") == "Microsoft.Windows.Common-Controls"]
    if len(controls) != 1 or controls[0].get("version") != "6.0.0.0" or \
            controls[0].get("publicKeyToken") != "6595b64144ccf1df":
        problems.append(f"{file_name}: Common Controls dependency {controls}")
    aware = [(e.tag, (e.text or "").strip()) for e in root.iter() if e.tag in (WS2005 + "dpiAware", WS2016 + "dpiAwareness")]
    want = [(WS2005 + "dpiAware", "true/pm"), (WS2016 + "dpiAwareness", "PerMonitorV2, PerMonitor")] if dpi_aware else []
    if aware != want:
        problems.append(f"{file_name}: DPI awareness {aware}, want {want}")


def check_icon(found, file_name, problems):
    group = found.get((RT_GROUP_ICON, 1), b"")
    sizes = []
    if len(group) >= 6:
        count = struct.unpack_from("<H", group, 4)[0]
        for n in range(count):
            w, h, _, _, _, bits, size, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * n)
            image = found.get((RT_ICON, ident), b"")
            if len(image) != size or bits != 32:
                problems.append(f"{file_name}: icon image {ident} has {len(image)} bytes and {bits} bits")
            sizes.append(w or 256)
    if sorted(sizes) != ICON_SIZES:
        problems.append(f"{file_name}: icon sizes {sorted(sizes)}, want {ICON_SIZES}")


def check_program(path, version, file_name, description, problems, window=False):
    found = resources(path)
    manifest = found.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    check_manifest(manifest, file_name, window, problems)
    if window:
        check_icon(found, file_name, problems)
    blob = next((b for (kind, _), b in found.items() if kind == RT_VERSION), None)
    if blob is None:
        problems.append(f"{file_name}: no version resource")
        return
    values, number = version_strings(blob)
    want = {"FileDescription": description, "ProductName": "ORVEN General MIDI DLS Tool", "FileVersion": version,
            "ProductVersion": version, "OriginalFilename": file_name}
    for key, value in want.items():
        if values.get(key) != value:
            problems.append(f"{file_name}: {key} is {values.get(key)!r}, want {value!r}")
    if not values.get("LegalCopyright"):
        problems.append(f"{file_name}: no LegalCopyright")
    if number != version + ".0":
        problems.append(f"{file_name}: the fixed file version is {number}, want {version}.0")
    print(f"{file_name}: manifest of {len(manifest)} characters, version {number}, {values}")


def main():
    version, program, dlsindex, archive = sys.argv[1:5]
    problems = []
    check_program(program, version, "OrvenDlsTool.exe", "ORVEN General MIDI DLS Tool", problems, window=True)
    check_program(dlsindex, version, "dlsindex.exe", "dlsindex: the index of a DLS sound set", problems)
    names = sorted(zipfile.ZipFile(archive).namelist())
    print(f"{archive}: {names}")
    if names != ["LICENSE", "OrvenDlsTool.exe", "README.txt", "dlsindex.exe"]:
        problems.append(f"the archive holds {names}")
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
