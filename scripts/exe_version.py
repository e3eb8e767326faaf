#!/usr/bin/env python3
"""Prints the file version of a Windows executable from its version resource, as 1.2.3.4.

Usage: exe_version.py FILE. Reads the PE resource tree (RT_VERSION, first name, first language)
and the VS_FIXEDFILEINFO in it, the numbers that Windows' file properties and the About window
show. Exits with 1 and a message when the file has none.
"""
import struct
import sys

RT_VERSION = 16
FIXED_SIGNATURE = 0xFEEF04BD


def fail(message):
    sys.exit(f"exe_version.py: {message}")


def file_version(data):
    if data[:2] != b"MZ":
        fail("not an executable (no MZ header)")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail("not a PE executable")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}.get(magic, -1)
    if directories < optional:
        fail(f"unknown optional header magic {magic:#x}")
    resource_rva, resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
    if resource_size == 0:
        fail("no resources")

    table = optional + optional_size
    spans = []
    for i in range(sections):
        _, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
        spans.append((vaddr, max(vsize, rawsize), rawptr))

    def offset(rva):
        for vaddr, size, rawptr in spans:
            if vaddr <= rva < vaddr + size:
                return rawptr + rva - vaddr
        fail(f"address {rva:#x} lies in no section")

    root = offset(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<12xHH", data, directory)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            yield ident, target

    def child(directory, wanted=None):
        for ident, target in entries(directory):
            if wanted is None or (not ident & 0x80000000 and ident == wanted):
                return target
        return None

    level = child(root, RT_VERSION)
    if level is None:
        fail("no version resource")
    for _ in range(2):  # name, then language
        if not level & 0x80000000:
            fail("malformed resource tree")
        level = child(root + (level & 0x7FFFFFFF))
        if level is None:
            fail("empty version resource")
    data_rva, data_size = struct.unpack_from("<II", data, root + level)
    start = offset(data_rva)
    block = data[start:start + data_size]
    at = block.find(struct.pack("<I", FIXED_SIGNATURE))
    if at < 0:
        fail("version resource without fixed file information")
    ms, ls = struct.unpack_from("<8xII", block, at)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


if __name__ == "__main__":
    if len(sys.argv) != 2:
        fail("usage: exe_version.py FILE")
    with open(sys.argv[1], "rb") as f:
        print(file_version(f.read()))
