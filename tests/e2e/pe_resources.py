"""Reads a resource out of a Windows program file, as the system's loader finds it: the PE
headers, the resource directory's three levels (type, name, language), the data entry."""

import struct

RT_VERSION = 16
RT_MANIFEST = 24


def read_resource(path, kind, name):
    """The bytes of the first language of resource (kind, name); None when there is none."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError(f"{path} is not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = optional + optional_size

    def offset_of(rva):
        for i in range(sections):
            size, address, raw_size, raw = struct.unpack_from("<IIII", data, table + i * 40 + 8)
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError(f"address {rva:#x} is in no section")

    base = offset_of(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            yield ident, target

    def find(directory, ident):
        for entry, target in entries(directory):
            if entry == ident:
                return target
        return None

    level = find(base, kind)
    if level is not None:
        level = find(base + (level & 0x7FFFFFFF), name)
    if level is None:
        return None
    languages = list(entries(base + (level & 0x7FFFFFFF)))
    if not languages:
        return None
    rva, size = struct.unpack_from("<II", data, base + languages[0][1])
    start = offset_of(rva)
    return data[start:start + size]


def version_strings(path):
    """The version resource's string values as a dict (the text of its StringFileInfo)."""
    block = read_resource(path, RT_VERSION, 1)
    if block is None:
        return {}
    text = block.decode("utf-16-le", "replace")
    strings = {}
    for key in ("CompanyName", "FileDescription", "FileVersion", "OriginalFilename",
                "ProductName", "ProductVersion"):
        at = text.find(key + "\0")
        if at < 0:
            continue
        value = text[at + len(key):].lstrip("\0")
        strings[key] = value[:value.find("\0")]
    return strings
