#!/usr/bin/env python3
"""The programs' resources, read from their PE files, and the release
archive: each program carries manifest 1 (RT_MANIFEST) running asInvoker
without uiAccess, naming Windows 10 among its systems, depending on Common
Controls 6 and declaring no DPI awareness; and a version resource with the
project's version and its own names. The archive holds the four files.

usage: check_resources.py VERSION PROGRAM.exe DLSINDEX.exe ARCHIVE.zip
"""
import struct
import sys
import zipfile

RT_VERSION, RT_MANIFEST = 16, 24
WINDOWS_10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"


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


def check_program(path, version, file_name, description, problems):
    found = resources(path)
    manifest = found.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    for needle in ('level="asInvoker"', 'uiAccess="false"', WINDOWS_10, 'name="Microsoft.Windows.Common-Controls"',
                   'version="6.0.0.0"'):
        if needle not in manifest:
            problems.append(f"{file_name}: the manifest lacks {needle}")
    if "dpiAware" in manifest or "dpiAwareness" in manifest:
        problems.append(f"{file_name}: the manifest declares DPI awareness")
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
    check_program(program, version, "OrvenDlsTool.exe", "ORVEN General MIDI DLS Tool", problems)
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
