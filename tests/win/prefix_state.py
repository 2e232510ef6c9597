#!/usr/bin/python3
"""The registry and the files of a Wine prefix, read from disk while its wineserver is stopped, and what
changed between two such readings.

  prefix_state.py save PREFIX OUT.json
  prefix_state.py value STATE.json KEY NAME
  prefix_state.py installed STATE.json DISPLAYNAME
  prefix_state.py changes BEFORE.json AFTER.json [--path WINPATH=TOKEN]... [--classes]
                  [--records PRODUCTCODE | --leftovers]

`changes` prints one sorted line per key or value added (+), removed (-) or changed (~), and per file or
folder of drive C: added or removed. --path replaces a Windows path by a token, --classes names both
halves of HKEY_CLASSES_ROOT alike, --records and --leftovers leave out Windows Installer's bookkeeping
(see changes())."""

import json
import os
import re
import sys

HIVES = {"system.reg": "HKLM", "user.reg": "HKCU", "userdef.reg": "HKU\\.Default"}
# Wine rewrites its records of the display adapter and the monitor when a program loads user32.
NOISE_KEYS = tuple(f"HKLM\\System\\CurrentControlSet\\Control\\Class\\{{{device_class}}}" for device_class in (
    "4D36E968-E325-11CE-BFC1-08002BE10318", "4D36E96E-E325-11CE-BFC1-08002BE10318"))


def unescape(text):
    """A key name or a quoted string of Wine's hive format, escapes undone."""
    return re.sub(r"\\(.)", r"\1", text)


def split_value(line):
    """'"name"=data' or '@=data' -> (name, data); names may hold escaped quotes and '='."""
    if line.startswith("@="):
        return "", line[2:]
    end = 1
    while line[end] != '"':
        end += 2 if line[end] == "\\" else 1
    return unescape(line[1:end]), line[end + 2:]


def read_hive(path, root):
    keys = {}
    current = None
    pending = ""
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for raw in f:
            line = pending + (raw.strip() if pending else raw.rstrip("\n"))
            if line.endswith("\\") and current is not None and not line.startswith("["):
                pending = line[:-1]
                continue
            pending = ""
            if line.startswith("["):
                name = line[1:line.rindex("]")]
                current = keys.setdefault(root + "\\" + unescape(name), {})
            elif current is not None and (line.startswith('"') or line.startswith("@=")):
                name, data = split_value(line)
                # Strings as text, other types as Wine writes them.
                current[name] = unescape(data[1:-1]) if data.startswith('"') else data
    return keys


def save(prefix, out):
    registry = {}
    for hive, root in HIVES.items():
        registry.update(read_hive(os.path.join(prefix, hive), root))
    # A key with subkeys and no values of its own has no section of its own.
    for key in list(registry):
        while "\\" in key:
            key = key.rsplit("\\", 1)[0]
            registry.setdefault(key, {})
    files = []
    drive = os.path.join(prefix, "drive_c")
    for top, dirs, names in os.walk(drive):
        rel = os.path.relpath(top, drive)
        for name in dirs + names:
            path = os.path.join(rel, name) if rel != "." else name
            full = os.path.join(top, name)
            kind = "dir" if os.path.isdir(full) and not os.path.islink(full) else os.path.getsize(full)
            files.append([path, kind])
    with open(out, "w", encoding="utf-8") as f:
        json.dump({"registry": registry, "files": sorted(files)}, f)


# Windows Installer's own records: its per-user and per-machine stores and its cache of packages.
INSTALLER_STORES = ("HKCU\\Software\\Microsoft\\Installer", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer")
INSTALLER_CACHE = "C:\\windows\\Installer"


def under(path, roots):
    return any(path.casefold() == r.casefold() or path.casefold().startswith(r.casefold() + "\\") for r in roots)


def changes(before, after, paths=(), classes=False, records=None, leftovers=False):
    """records: a product code whose installer records (stores, cache, Add/Remove Programs entry) are left
    out. leftovers: left out are only what an uninstall may leave of them: empty keys in the stores and the
    empty cache folder; and keys that were empty before, which Wine's msiexec removes as it removes the
    empty keys above the ones it wrote."""
    tokens = [(re.compile(re.escape(p), re.IGNORECASE), t) for p, t in paths]
    stores = INSTALLER_STORES
    if records:
        stores += tuple(f"HK{r}\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{records}" for r in ("LM", "CU"))

    def norm(text):
        for pattern, token in tokens:
            text = pattern.sub(lambda _: token, text)
        if classes:
            text = re.sub(r"^HK(LM|CU)\\Software\\Classes(\\|$)", r"HKCR\2", text, flags=re.IGNORECASE)
        return text

    def registry(state):
        out = {}
        for key, values in state["registry"].items():
            if key.startswith(NOISE_KEYS):
                continue
            if (records and under(key, stores)) or (leftovers and not values and under(key, stores)):
                continue
            # Key and value names are case-insensitive: Wine's own prefix spells "Typelib".
            out[norm(key).casefold()] = {n.casefold(): norm(d) for n, d in values.items()}
        return out

    def files(state):
        out = set()
        for path, kind in state["files"]:
            windows = "C:\\" + path.replace("/", "\\")
            if (records and under(windows, (INSTALLER_CACHE,))) or (leftovers and windows == INSTALLER_CACHE):
                continue
            out.add(norm(windows))
        return out

    old, new = registry(before), registry(after)
    lines = []
    for key in old.keys() | new.keys():
        if key not in new:
            had_nothing = not old[key] and not any(k.startswith(key + "\\") for k in old)
            if not (leftovers and had_nothing):
                lines.append(f"- [{key}]")
            continue
        if key not in old:
            lines.append(f"+ [{key}]")
        for name in old.get(key, {}).keys() | new[key].keys():
            a, b = old.get(key, {}).get(name), new[key].get(name)
            if a != b:
                sign = "+" if a is None else "-" if b is None else "~"
                lines.append(f"{sign} [{key}] {name!r}={b if b is not None else a}")
    old_files, new_files = files(before), files(after)
    lines += [f"- {p}" for p in old_files - new_files] + [f"+ {p}" for p in new_files - old_files]
    return sorted(lines)


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "save" and len(argv) == 4:
        save(argv[2], argv[3])
        return 0
    if command == "value" and len(argv) == 5:
        with open(argv[2], encoding="utf-8") as f:
            keys = {k.casefold(): v for k, v in json.load(f)["registry"].items()}
        values = {n.casefold(): d for n, d in keys.get(argv[3].casefold(), {}).items()}
        if argv[4].casefold() not in values:
            return 1
        print(values[argv[4].casefold()])
        return 0
    if command == "installed" and len(argv) == 4:
        # The products in Add/Remove Programs under a name, with their versions.
        with open(argv[2], encoding="utf-8") as f:
            registry = json.load(f)["registry"]
        for root in ("HKLM", "HKCU"):
            entries = f"{root}\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\".casefold()
            for key, values in sorted(registry.items()):
                if key.casefold().startswith(entries) and values.get("DisplayName") == argv[3]:
                    print(key.rsplit("\\", 1)[1], values.get("DisplayVersion"))
        return 0
    if command == "changes" and len(argv) >= 4:
        options = {"paths": [], "classes": False, "records": None, "leftovers": False}
        rest = argv[4:]
        while rest:
            option = rest.pop(0)
            if option == "--classes":
                options["classes"] = True
            elif option == "--leftovers":
                options["leftovers"] = True
            elif option == "--path" and rest:
                options["paths"].append(tuple(rest.pop(0).split("=", 1)))
            elif option == "--records" and rest:
                options["records"] = rest.pop(0)
            else:
                print(f"unknown option {option}", file=sys.stderr)
                return 2
        with open(argv[2], encoding="utf-8") as a, open(argv[3], encoding="utf-8") as b:
            for line in changes(json.load(a), json.load(b), **options):
                print(line)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
