#!/usr/bin/env python3
"""Packs the players' download of the Windows programs, and checks one.

    release.py pack [--date EPOCH] OUT_DIR DravikSetup.exe dravik-run.exe
        writes OUT_DIR/DravikSetup-<version>.zip, the version read from the version resource
        of DravikSetup.exe
    release.py check OUT_DIR TESTED_DIR
        checks OUT_DIR's archive against the two programs in TESTED_DIR; prints each fault
        and exits with 1 when there is any

Only the standard library: the machines that make releases have python3 but maybe no zip.
"""
import hashlib
import pathlib
import re
import struct
import sys
import time
import zipfile

HERE = pathlib.Path(__file__).resolve().parent
PROGRAMS = ["DravikSetup.exe", "dravik-run.exe"]
READMES = {"DravikSetup-README.txt": "players.txt", "dravik-run-README.txt": "authors.txt"}
SUMS = "SHA256SUMS.txt"
# The order in the archive: each program beside its read-me, the sums last.
NAMES = ["DravikSetup.exe", "DravikSetup-README.txt", "dravik-run.exe", "dravik-run-README.txt",
         SUMS]


def resource_version(exe):
    """The ProductVersion string of a program's version resource, or None."""
    data = pathlib.Path(exe).read_bytes()
    key = "ProductVersion\0".encode("utf-16-le")
    at = data.find(key)
    if at < 6:
        return None
    # A String entry: its length, the value's length in characters, the type (1: text), the
    # key, then the value from the next 32-bit boundary.
    _, value_length, kind = struct.unpack_from("<HHH", data, at - 6)
    start = (at + len(key) + 3) & ~3
    value = data[start:start + 2 * value_length].decode("utf-16-le").rstrip("\0")
    return value if kind == 1 and re.fullmatch(r"[0-9A-Za-z.+-]+", value) else None


def archive_name(version):
    return f"DravikSetup-{version}.zip"


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def pack(out_dir, date, setup_exe, run_exe):
    version = resource_version(setup_exe)
    if version is None:
        sys.exit(f"release: no version resource in {setup_exe}")
    files = {"DravikSetup.exe": pathlib.Path(setup_exe).read_bytes(),
             "dravik-run.exe": pathlib.Path(run_exe).read_bytes()}
    for name, source in READMES.items():
        files[name] = crlf((HERE / source).read_text(encoding="utf-8"))
    files[SUMS] = "".join(f"{hashlib.sha256(files[n]).hexdigest()}  {n}\n"
                          for n in NAMES if n != SUMS).encode("ascii")

    out = pathlib.Path(out_dir)
    out.mkdir(parents=True, exist_ok=True)
    for old in out.glob(archive_name("*")):
        old.unlink()
    # Fixed times, order and attributes: the same programs and texts give the same archive.
    stamp = time.gmtime(max(date, 315532800))[:6]
    target = out / archive_name(version)
    partial = target.with_suffix(".partial")
    with zipfile.ZipFile(partial, "w") as archive:
        for name in NAMES:
            info = zipfile.ZipInfo(name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3
            info.external_attr = 0o644 << 16
            archive.writestr(info, files[name], compresslevel=9)
    partial.replace(target)
    print(f"== {target} (version {version})")
    for name in NAMES:
        print(f"   {len(files[name]):>9}  {name}")


def check(out_dir, tested_dir):
    tested = {name: (pathlib.Path(tested_dir) / name).read_bytes() for name in PROGRAMS}
    version = resource_version(pathlib.Path(tested_dir) / "DravikSetup.exe")
    if version is None:
        return ["the tested DravikSetup.exe carries no version resource"]
    path = pathlib.Path(out_dir) / archive_name(version)
    if not path.is_file():
        return [f"no archive {path}"]
    faults = []
    with zipfile.ZipFile(path) as archive:
        if archive.testzip() is not None:
            return [f"{path}: a damaged entry"]
        names = archive.namelist()
        if sorted(names) != sorted(NAMES):
            faults.append(f"{path} holds {names}, not {NAMES}")
        files = {n: archive.read(n) for n in names}
    for name in PROGRAMS:
        if files.get(name) != tested[name]:
            faults.append(f"{name} in the archive is not the one the tests ran")
    for name in READMES:
        text = files.get(name, b"")
        if not text or re.search(rb"(?<!\r)\n", text):
            faults.append(f"{name} is empty or has a line not ended by CR LF")
    listed = {}
    for line in files.get(SUMS, b"").decode("ascii", "replace").splitlines():
        match = re.fullmatch(r"([0-9a-f]{64})  (\S.*)", line)
        if not match:
            faults.append(f"{SUMS}: not a sum line: {line!r}")
        else:
            listed[match[2]] = match[1]
    if sorted(listed) != sorted(n for n in names if n != SUMS):
        faults.append(f"{SUMS} covers {sorted(listed)}, not the other files of the archive")
    for name, digest in listed.items():
        if name in files and hashlib.sha256(files[name]).hexdigest() != digest:
            faults.append(f"{SUMS}: the sum of {name} is wrong")
    if not faults:
        print(f"== {path}: the programs the tests ran, read-mes and right sums")
    return faults


def main(argv):
    if len(argv) >= 2 and argv[1] == "pack":
        args, date = argv[2:], 315532800
        if args[:1] == ["--date"] and len(args) > 1:
            date, args = int(args[1]), args[2:]
        if len(args) == 3:
            pack(args[0], date, args[1], args[2])
            return 0
    elif len(argv) == 4 and argv[1] == "check":
        faults = check(argv[2], argv[3])
        for fault in faults:
            print(f"release check: {fault}", file=sys.stderr)
        return 1 if faults else 0
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
