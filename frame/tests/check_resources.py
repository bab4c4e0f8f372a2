#!/usr/bin/env python3
"""Checks the resources a built Windows module carries.

usage: check_resources.py WINDRES MODULE.dll EXPECTATION...

Each expectation is one of
  bitmap:ID:WxH:BYTES[:LANG]   an uncompressed 8-bit DIB with a 40-byte header and 256 palette entries
  WAVE:ID:BYTES                a resource of type "WAVE" of exactly BYTES bytes
  version:A.B.C.D              file and product version of the version resource
The module's resources are read back with windres into the .res format and parsed here; windres does not
carry the language over from a DLL, so languages are read from objdump's dump of the resource directory.
"""
import re
import struct
import subprocess
import sys
import tempfile


def read_key(data, pos):
    if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def resources(res):
    out = {}
    pos = 0
    while pos + 8 <= len(res):
        data_size, header_size = struct.unpack_from("<II", res, pos)
        rtype, p = read_key(res, pos + 8)
        name, p = read_key(res, p)
        p = (p + 3) & ~3
        language = struct.unpack_from("<H", res, p + 6)[0]
        data = res[pos + header_size:pos + header_size + data_size]
        if data_size:
            out[(rtype, name)] = (data, language)
        pos = (pos + header_size + data_size + 3) & ~3
    return out


def languages(objdump, module):
    """(type, name) -> language, from the three levels of the DLL's resource directory."""
    dump = subprocess.run([objdump, "-p", module], check=True, capture_output=True, text=True).stdout
    entry = re.compile(r"^[0-9a-f]+( +)Entry: (?:ID: 0x([0-9a-f]+)|name: \[[^]]*\]: ([^,\s]+))")
    out, rtype, name = {}, None, None
    for line in dump.splitlines():
        m = entry.match(line)
        if not m:
            continue
        key = int(m.group(2), 16) if m.group(2) else m.group(3)
        depth = len(m.group(1))
        if depth == 3:
            rtype = key
        elif depth == 5:
            name = key
        elif depth == 7:
            out[(rtype, name)] = key
    return out


def main(argv):
    windres, module, expectations = argv[1], argv[2], argv[3:]
    with tempfile.NamedTemporaryFile(suffix=".res") as res_file:
        subprocess.run([windres, "-J", "coff", "-i", module, "-O", "res", "-o", res_file.name], check=True)
        found = resources(open(res_file.name, "rb").read())
    objdump = windres.replace("windres", "objdump")
    found = {key: (data, languages(objdump, module).get(key, 0)) for key, (data, _) in found.items()}
    failures = []
    for expectation in expectations:
        kind, *fields = expectation.split(":")
        if kind == "bitmap":
            rid, size, nbytes = int(fields[0]), fields[1], int(fields[2])
            lang = int(fields[3]) if len(fields) > 3 else None
            entry = found.get((2, rid))
            if not entry:
                failures.append(f"no bitmap {rid}")
                continue
            data, language = entry
            hsize, w, h, planes, bpp, comp = struct.unpack_from("<IiiHHI", data, 0)
            used = struct.unpack_from("<I", data, 32)[0]
            got = f"{w}x{abs(h)}"
            if (hsize, planes, bpp, comp) != (40, 1, 8, 0) or used not in (0, 256):
                failures.append(f"bitmap {rid}: header {hsize}, {bpp} bpp, compression {comp}, {used} colours")
            if got != size or len(data) != nbytes:
                failures.append(f"bitmap {rid}: {got}, {len(data)} bytes; expected {size}, {nbytes} bytes")
            if lang is not None and language != lang:
                failures.append(f"bitmap {rid}: language {language}, expected {lang}")
        elif kind == "WAVE":
            rid, nbytes = int(fields[0]), int(fields[1])
            entry = found.get(("WAVE", rid))
            if not entry or len(entry[0]) != nbytes:
                failures.append(f"WAVE {rid}: {len(entry[0]) if entry else 'missing'}, expected {nbytes} bytes")
        elif kind == "version":
            entry = found.get((16, 1))
            want = [int(x) for x in fields[0].split(".")]
            if not entry:
                failures.append("no version resource")
                continue
            data = entry[0]
            at = data.find(struct.pack("<I", 0xFEEF04BD))
            fms, fls, pms, pls = struct.unpack_from("<IIII", data, at + 8)
            got = [[fms >> 16, fms & 0xFFFF, fls >> 16, fls & 0xFFFF], [pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF]]
            if at < 0 or got != [want, want]:
                failures.append(f"version resource: file {got[0]}, product {got[1]}; expected {want}")
        else:
            failures.append(f"unknown expectation {expectation}")
    for failure in failures:
        print(f"{module}: {failure}")
    if not failures:
        print(f"{module}: {len(expectations)} resources as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
