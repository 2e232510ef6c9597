#!/usr/bin/python3
"""Reads a built Varnook3-<arch>.msi back with msitools, as a machine that cannot run it still can: the DLL
inside it, its version against the File table, the platform, and the registry rows that differ between
the two architectures. Exits non-zero, naming every difference."""

import os
import subprocess
import sys
import tempfile

import pefile

import check_dll

LIBRARY = "{812F99B8-A02C-446E-8884-5F17570A54A0}"
ARCHES = {
    "x86": {"template": "Intel;1033", "machine": "IMAGE_FILE_MACHINE_I386", "typelib": "win32"},
    "x64": {"template": "x64;1033", "machine": "IMAGE_FILE_MACHINE_AMD64", "typelib": "win64"},
}
COMPONENT_64BIT = 0x100
SOURCE_NO_ELEVATION = 0x8


def table(msi, name):
    """Rows of a table as lists of columns, without the three header lines of msiinfo export."""
    out = subprocess.run(["msiinfo", "export", msi, name], check=True, capture_output=True, text=True).stdout
    return [line.split("\t") for line in out.splitlines()[3:] if line]


def check(msi, arch):
    problems = []
    want = ARCHES[arch]

    summary = dict(table(msi, "_SummaryInformation"))
    if summary.get("7") != want["template"]:
        problems.append(f"platform {summary.get('7')!r}, expected {want['template']!r}")
    info = subprocess.run(["msiinfo", "suminfo", msi], check=True, capture_output=True, text=True).stdout
    source = next((line for line in info.splitlines() if line.startswith("Source:")), "")
    if not source or not int(source.split()[1]) & SOURCE_NO_ELEVATION:
        problems.append(f"asks for elevation ({source!r})")

    # The rows register the add-in; nothing runs code of ours or of the DLL's while installing.
    tables = subprocess.run(["msiinfo", "tables", msi], check=True, capture_output=True, text=True).stdout.split()
    for forbidden in ("SelfReg", "CustomAction"):
        if forbidden in tables and table(msi, forbidden):
            problems.append(f"{forbidden} table is not empty")

    files = {row[0]: row for row in table(msi, "File")}
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(["msiextract", "-C", out, msi], check=True, capture_output=True)
        dlls = [os.path.join(top, n) for top, _, names in os.walk(out) for n in names if n == "Varnook3.dll"]
        if len(dlls) != 1 or "Varnook3.dll" not in files:
            problems.append(f"package holds {dlls}, File table {sorted(files)}")
        else:
            pe = pefile.PE(dlls[0])
            fixed = pe.VS_FIXEDFILEINFO[0]
            version = (f"{fixed.FileVersionMS >> 16}.{fixed.FileVersionMS & 0xFFFF}."
                       f"{fixed.FileVersionLS >> 16}.{fixed.FileVersionLS & 0xFFFF}")
            row = files["Varnook3.dll"]
            if row[4] != version:
                problems.append(f"File table version {row[4]!r}, the DLL's version record {version}")
            if pe.FILE_HEADER.Machine != pefile.MACHINE_TYPE[want["machine"]]:
                problems.append(f"DLL machine 0x{pe.FILE_HEADER.Machine:x}")
            if pe.FILE_HEADER.NumberOfSymbols:
                problems.append(f"DLL not stripped: {pe.FILE_HEADER.NumberOfSymbols} symbols")
            print(f"{msi}: Varnook3.dll {os.path.getsize(dlls[0])} bytes, version {version}")

    components = {row[0]: int(row[3]) for row in table(msi, "Component")}
    registry = table(msi, "Registry")
    # Classes under the installer's classes root (the user's for a per-user install), the add-in entry
    # under the user's key; never the machine's, which needs elevation.
    for row in registry:
        want_root = "1" if row[2].startswith("Software\\Microsoft\\Office\\") else "0"
        if row[1] != want_root:
            problems.append(f"registry row {row[0]} ({row[2]}) has root {row[1]}, expected {want_root}")
    platforms = {row[2].rstrip("\\").rsplit("\\", 1)[1] for row in registry
                 if row[2].upper().startswith(f"TYPELIB\\{LIBRARY}\\1.0\\0\\")}
    if platforms != {want["typelib"]}:
        problems.append(f"type library platforms {sorted(platforms)}, expected {want['typelib']}")
    # In the 64-bit package one component holds the interface's entry in the 32-bit view; every other
    # component is of the package's own width.
    narrow = {name for name, attributes in components.items() if not attributes & COMPONENT_64BIT}
    expected_narrow = set(components) if arch == "x86" else {"Server32View"}
    if narrow != expected_narrow:
        problems.append(f"components without the 64-bit flag {sorted(narrow)}, expected {sorted(expected_narrow)}")
    return problems


if __name__ == "__main__":
    sys.exit(check_dll.run(check, ARCHES, "Varnook3.msi x86|x64"))
