#!/usr/bin/env python3
"""Checks a built plug-in's export table: exactly the ten interface functions
and the further one for the command-line host, under their plain names; for
Windows files also that only system DLLs are imported (the C++ runtime is
linked in). With --host, --host-objects and --core, also that the host holds
none of the functions the core library defines and the host's own code does
not (inline functions from shared headers are the host's own too): it knows a
book only through the plug-in it loads."""
import argparse
import glob
import os
import re
import subprocess
import sys

EXPORTS = sorted([
    "OpenArchive", "ReadHeader", "ProcessFile", "CloseArchive", "PackFiles", "DeleteFiles",
    "GetPackerCaps", "SetChangeVolProc", "SetProcessDataProc", "CanYouHandleThisFile",
    "FB2PackBookApi",
])
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "user32.dll", "advapi32.dll", "ntdll.dll", "shell32.dll"}


def pe_tables(objdump, path):
    out = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout
    exports, imports, in_names = [], [], False
    fmt = re.search(r"file format (\S+)", out)
    for line in out.splitlines():
        if "[Ordinal/Name Pointer] Table" in line:
            in_names = True
            continue
        if in_names:
            m = re.match(r"\s*\[\s*\d+\]\s+(\S+)\s*$", line)
            if m:
                exports.append(m.group(1))
                continue
            if line.strip():
                in_names = False
        m = re.match(r"\s*DLL Name:\s*(\S+)", line)
        if m:
            imports.append(m.group(1).lower())
    return exports, imports, fmt.group(1) if fmt else None


def elf_exports(path):
    out = subprocess.run(["nm", "-D", "--defined-only", path], check=True, capture_output=True, text=True).stdout
    names = []
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[1] in ("T", "W", "D", "B", "R", "V", "i"):
            names.append(parts[2].split("@")[0])
    return names


def strong_functions(nm, path):
    """The functions a file or library defines as its own (not inline copies)."""
    out = subprocess.run([nm, "--defined-only", path], check=True, capture_output=True, text=True).stdout
    return {parts[2] for parts in (line.split() for line in out.splitlines())
            if len(parts) >= 3 and parts[1] == "T"}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--objdump")
    ap.add_argument("--format", help="the object format every Windows file must have (pei-i386, pei-x86-64)")
    ap.add_argument("--nm", default="nm")
    ap.add_argument("--host", help="the command-line host, checked against --core")
    ap.add_argument("--core", help="the core library")
    ap.add_argument("--host-objects", help="the folder of the host's own object files")
    ap.add_argument("plugin")
    ap.add_argument("others", nargs="*", help="more Windows files whose imports are checked")
    args = ap.parse_args()
    failures = []
    if args.objdump:
        exports, _, _ = pe_tables(args.objdump, args.plugin)
        if sorted(exports) != EXPORTS:
            failures.append(f"{args.plugin}: exports {sorted(exports)}")
        for path in [args.plugin] + args.others:
            _, imps, fmt = pe_tables(args.objdump, path)
            if args.format and fmt != args.format:
                failures.append(f"{path}: format {fmt}, not {args.format}")
            foreign = [d for d in imps if d not in SYSTEM_DLLS and not d.startswith("api-ms-win-")]
            if foreign:
                failures.append(f"{path}: imports non-system DLLs {foreign}")
    else:
        exports = elf_exports(args.plugin)
        if sorted(exports) != EXPORTS:
            failures.append(f"{args.plugin}: exports {sorted(exports)}")
    if args.host and args.core and args.host_objects:
        own = set()
        for obj in glob.glob(os.path.join(args.host_objects, "**", "*.o*"), recursive=True):
            if not obj.endswith(".d"):
                own |= strong_functions(args.nm, obj)
        if not own:
            failures.append(f"{args.host_objects}: no object files of the host found")
        core = strong_functions(args.nm, args.core) - own
        shared = sorted(strong_functions(args.nm, args.host) & core)
        if not core:
            failures.append(f"{args.core}: no functions found in the core library")
        if shared:
            failures.append(f"{args.host}: links the core's {', '.join(shared[:8])}")
    for f in failures:
        print("FAIL", f)
    if not failures:
        print(f"{args.plugin}: exports and imports as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
