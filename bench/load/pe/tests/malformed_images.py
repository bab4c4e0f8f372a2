#!/usr/bin/env python3
"""Broken copies of a good DLL, each refused before any of its code runs: exit code 2 and one line naming the
file and the fault.

Usage: malformed_images.py GOOD_DLL OUT_DIR -- BENCH_COMMAND...
"""
import os
import struct
import subprocess
import sys


class Image:
    """Where the fields of a PE32 DLL lie in its file."""

    def __init__(self, data):
        self.data = bytearray(data)
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        self.file_header = self.pe + 4
        self.optional = self.file_header + 20
        optional_size = struct.unpack_from("<H", data, self.file_header + 16)[0]
        self.sections_at = self.optional + optional_size
        count = struct.unpack_from("<H", data, self.file_header + 2)[0]
        self.sections = []
        for i in range(count):
            at = self.sections_at + 40 * i
            name = bytes(data[at:at + 8]).rstrip(b"\0").decode()
            vsize, rva, raw_size, raw_at = struct.unpack_from("<IIII", data, at + 8)
            flags = struct.unpack_from("<I", data, at + 36)[0]
            self.sections.append(dict(name=name, header=at, vsize=vsize, rva=rva, raw_size=raw_size, raw_at=raw_at,
                                      flags=flags))

    def u32(self, at):
        return struct.unpack_from("<I", self.data, at)[0]

    def put32(self, at, value):
        struct.pack_into("<I", self.data, at, value & 0xFFFFFFFF)

    def put16(self, at, value):
        struct.pack_into("<H", self.data, at, value)

    def directory(self, index):
        return self.optional + 96 + 8 * index

    def offset(self, rva):
        for s in self.sections:
            if s["rva"] <= rva < s["rva"] + s["raw_size"]:
                return s["raw_at"] + rva - s["rva"]
        raise ValueError(f"RVA {rva:#x} is in no section's file bytes")

    def section(self, name):
        return next(s for s in self.sections if s["name"] == name)

    def size_of_image(self):
        return self.u32(self.optional + 56)

    def export_name(self, name):
        exports = self.offset(self.u32(self.directory(0)))
        count, names = self.u32(exports + 24), self.u32(exports + 32)
        for i in range(count):
            at = self.offset(self.u32(self.offset(names) + 4 * i))
            if self.data[at:at + len(name) + 1] == name.encode() + b"\0":
                return at
        raise ValueError(f"no export {name}")


def truncated(image):
    del image.data[0x100:]


def no_pe_signature(image):
    image.data[image.pe:image.pe + 2] = b"NE"


def machine_x64(image):
    image.put16(image.file_header, 0x8664)


def not_a_dll(image):
    flags = struct.unpack_from("<H", image.data, image.file_header + 18)[0]
    image.put16(image.file_header + 18, flags & ~0x2000)


def pe32_plus(image):
    image.put16(image.optional, 0x20B)


def section_table_past_the_file(image):
    image.put16(image.file_header + 2, 90)
    del image.data[image.sections_at + 40 * len(image.sections):]


def section_outside_the_file(image):
    image.put32(image.section(".rsrc")["header"] + 20, len(image.data) + 0x1000)


def section_outside_the_image(image):
    image.put32(image.section(".rsrc")["header"] + 8, image.size_of_image())


def directory_outside_the_image(image):
    image.put32(image.directory(1), image.size_of_image() - 8)
    image.put32(image.directory(1) + 4, 0x100)


def relocation_block_past_the_image(image):
    image.put32(image.offset(image.u32(image.directory(5))), image.size_of_image() + 0x1000)


def import_name_outside_the_image(image):
    descriptor = image.offset(image.u32(image.directory(1)))
    lookup = image.offset(image.u32(descriptor))
    image.put32(lookup, 0x7FFFFFF0)


def entry_point_outside_the_code(image):
    image.put32(image.optional + 16, image.section(".rdata")["rva"])


def no_linkage_export(image):
    image.data[image.export_name("Linkage") + 6] = ord("f")


def no_import_table_export(image):
    image.data[image.export_name("ImportTable") + 10] = ord("X")


CASES = [
    (truncated, "truncated: the optional header runs past the file"),
    (no_pe_signature, "no PE signature at offset"),
    (machine_x64, "machine 0x8664, expected i386 (0x14C)"),
    (not_a_dll, "not a DLL: its header lacks the DLL flag"),
    (pe32_plus, "optional header magic 0x20B, expected PE32 (0x10B)"),
    (section_table_past_the_file, "truncated: the section table runs past the file"),
    (section_outside_the_file, "(.rsrc) at file offset"),
    (section_outside_the_image, "(.rsrc) (RVA"),
    (directory_outside_the_image, "the import directory (RVA"),
    (relocation_block_past_the_image, "lies past the image"),
    (import_name_outside_the_image, "an import name of KERNEL32.dll at RVA 0x7FFFFFF0 lies outside the image"),
    (entry_point_outside_the_code, "lies outside the code"),
    (no_linkage_export, "not a gauge module: it exports no Linkage"),
    (no_import_table_export, "not a gauge module: it exports no ImportTable"),
]


def main():
    split = sys.argv.index("--")
    good, out = sys.argv[1:split]
    bench = sys.argv[split + 1:]
    os.makedirs(out, exist_ok=True)
    original = open(good, "rb").read()
    failures = []
    for corrupt, expected in CASES:
        image = Image(original)
        corrupt(image)
        path = os.path.join(out, corrupt.__name__ + ".dll")
        with open(path, "wb") as f:
            f.write(image.data)
        run = subprocess.run(bench + ["inspect", path], capture_output=True, text=True)
        lines = run.stderr.splitlines()
        said = run.stderr.strip()
        if run.returncode != 2 or len(lines) != 1 or path + ": " not in said or expected not in said:
            failures.append(f"{corrupt.__name__}: exit {run.returncode}, expected 2 and one line with "
                            f"'{expected}'; said: {said}")
        else:
            print(f"{corrupt.__name__}: {said}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
