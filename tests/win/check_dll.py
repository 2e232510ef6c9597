#!/usr/bin/python3
"""Reads a built Varnook3.dll as the platform's loader and an installer would: exports, resources,
version information. Exits non-zero, naming every difference, when the DLL is not what it should be."""

import struct
import sys
import uuid

import pefile

EXPORTS = {b"DllCanUnloadNow", b"DllGetClassObject", b"DllRegisterServer", b"DllUnregisterServer"}
CONNECT_IID = uuid.UUID("E86BCA65-1BA2-4E53-9374-16FDFE239AF5")
LIBRARY_ID = uuid.UUID("812F99B8-A02C-446E-8884-5F17570A54A0")
STRINGS = {
    "FileVersion": "3.00",
    "ProductVersion": "3.00",
    "FileDescription": "Talvo Varnook 3.0",
    "ProductName": "Talvo Varnook 3.0",
    "InternalName": "Varnook3",
    "OriginalFilename": "Varnook3.dll",
    "OLESelfRegister": "",
    "CompanyName": "Talvo",
}
# What a DLL of ours may need at run time: system DLLs only, no compiler runtime.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll",
               "msvcrt.dll"}
MACHINES = {"i686": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"],
            "x86_64": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]}


def resources(pe):
    """{(type, id): [(language, sublanguage, bytes)]}; types and ids are names (str) or numbers."""
    out = {}
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        tkey = str(rtype.name) if rtype.name is not None else rtype.id
        for rid in rtype.directory.entries:
            ikey = str(rid.name) if rid.name is not None else rid.id
            for lang in rid.directory.entries:
                data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                out.setdefault((tkey, ikey), []).append((lang.data.lang, lang.data.sublang, data))
    return out


def check(path, machine):
    problems = []
    pe = pefile.PE(path)

    if pe.FILE_HEADER.Machine != MACHINES[machine]:
        problems.append(f"machine 0x{pe.FILE_HEADER.Machine:x}, expected {machine}")
    if not pe.is_dll():
        problems.append("not a DLL")

    exported = {e.name for e in pe.DIRECTORY_ENTRY_EXPORT.symbols}
    if exported != EXPORTS:
        problems.append(f"exports {sorted(exported)}")
    if pe.DIRECTORY_ENTRY_EXPORT.name != b"Varnook3.dll":
        problems.append(f"export name {pe.DIRECTORY_ENTRY_EXPORT.name}")

    imported = {i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT}
    if not imported <= SYSTEM_DLLS:
        problems.append(f"depends on {sorted(imported - SYSTEM_DLLS)}")

    res = resources(pe)
    typelib = res.get(("TYPELIB", 1), [])
    if [(lang, sub) for lang, sub, _ in typelib] != [(0, 0)]:
        problems.append(f"TYPELIB 1: languages {[(lang, sub) for lang, sub, _ in typelib]}")
    elif not typelib[0][2].startswith(b"MSFT"):
        problems.append("TYPELIB 1 is not a type library")
    elif LIBRARY_ID.bytes_le not in typelib[0][2]:
        problems.append("TYPELIB 1 does not carry the library's identifier")

    iid = res.get(("_IID_CONNECT", 1), [])
    expected = struct.pack("<I", 16) + CONNECT_IID.bytes_le
    if [(lang, sub) for lang, sub, _ in iid] != [(0, 0)]:
        problems.append(f"_IID_CONNECT 1: languages {[(lang, sub) for lang, sub, _ in iid]}")
    elif iid[0][2] != expected:
        problems.append(f"_IID_CONNECT 1 holds {iid[0][2].hex()}, expected {expected.hex()}")

    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    if fixed is None:
        problems.append("no VERSIONINFO")
    else:
        for field in ("FileVersionMS", "ProductVersionMS"):
            if getattr(fixed, field) != 0x00030000:
                problems.append(f"{field} 0x{getattr(fixed, field):08x}")
        for field in ("FileVersionLS", "ProductVersionLS"):
            if getattr(fixed, field) != 0:
                problems.append(f"{field} 0x{getattr(fixed, field):08x}")
        if fixed.FileOS != 0x4:  # VOS__WINDOWS32
            problems.append(f"FileOS 0x{fixed.FileOS:x}")
        if fixed.FileType != 0x2:  # VFT_DLL
            problems.append(f"FileType 0x{fixed.FileType:x}")

        tables = {}
        translations = []
        for info in pe.FileInfo[0]:
            if info.Key == b"StringFileInfo":
                for table in info.StringTable:
                    tables[table.LangID] = {k.decode(): v.decode() for k, v in table.entries.items()}
            elif info.Key == b"VarFileInfo":
                for var in info.Var:
                    translations.extend(var.entry.values())
        strings = tables.get(b"040904B0") or tables.get(b"040904b0")
        if strings is None:
            problems.append(f"no StringFileInfo block 040904B0 (blocks {list(tables)})")
        else:
            for key, value in STRINGS.items():
                if strings.get(key) != value:
                    problems.append(f"{key} = {strings.get(key)!r}, expected {value!r}")
            if not strings.get("LegalCopyright"):
                problems.append("no LegalCopyright")
        if translations != ["0x0409 0x04b0"]:
            problems.append(f"Translation {translations}")

    return problems


def run(check_file, kinds, usage):
    """The command line of a check: FILE KIND; prints each problem and the verdict, and gives the exit status."""
    if len(sys.argv) != 3 or sys.argv[2] not in kinds:
        print(f"usage: {sys.argv[0]} {usage}", file=sys.stderr)
        return 2
    problems = check_file(sys.argv[1], sys.argv[2])
    for p in problems:
        print(f"{sys.argv[1]}: {p}")
    print(f"{sys.argv[1]}: {'FAILED' if problems else 'ok'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(run(check, MACHINES, "Varnook3.dll i686|x86_64"))
