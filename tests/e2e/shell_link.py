"""Reads a shortcut (.lnk) file: the target's path and the working directory, as the shell
would start the target."""

import struct

HAS_ID_LIST, HAS_LINK_INFO, HAS_NAME, HAS_RELATIVE_PATH, HAS_WORKING_DIR = 1, 2, 4, 8, 16
IS_UNICODE = 0x80


def read_shortcut(path):
    """(target path, working directory); either is "" when the file has none."""
    with open(path, "rb") as f:
        data = f.read()
    if struct.unpack_from("<I", data, 0)[0] != 0x4C:
        raise ValueError(f"{path} is not a shortcut")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 0x4C
    if flags & HAS_ID_LIST:
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = ""
    if flags & HAS_LINK_INFO:
        size, header, info_flags, _, base, _, suffix = struct.unpack_from("<7I", data, at)
        if info_flags & 1:  # a local path
            target = _ansi(data, at + base) + _ansi(data, at + suffix)
            if header >= 0x24:
                wide_base, wide_suffix = struct.unpack_from("<II", data, at + 28)
                target = _wide(data, at + wide_base) + _wide(data, at + wide_suffix)
        at += size
    strings = {}
    for flag in (HAS_NAME, HAS_RELATIVE_PATH, HAS_WORKING_DIR):
        if not flags & flag:
            continue
        count = struct.unpack_from("<H", data, at)[0]
        width = 2 if flags & IS_UNICODE else 1
        raw = data[at + 2:at + 2 + count * width]
        # Some writers count the terminating zero too.
        strings[flag] = raw.decode("utf-16-le" if width == 2 else "latin-1").rstrip("\0")
        at += 2 + count * width
    return target, strings.get(HAS_WORKING_DIR, "")


def _ansi(data, at):
    return data[at:data.index(b"\0", at)].decode("latin-1")


def _wide(data, at):
    end = at
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le")
