"""Writes a zip whose bytes depend only on its inputs: entries in the order given, one time
stamp for all, and fixed permissions.
    make_zip.py OUT.zip FOLDER-IN-ZIP TIMESTAMP FILE...
TIMESTAMP is seconds since 1970 (the last commit's, so a rebuild gives the same zip)."""

import os
import sys
import time
import zipfile


def main():
    out, folder, stamp, *files = sys.argv[1:]
    date_time = time.gmtime(max(int(stamp), 315532800))[:6]  # zip dates start in 1980
    partial = out + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for path in files:
            entry = zipfile.ZipInfo(f"{folder}/{os.path.basename(path)}", date_time)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.external_attr = 0o644 << 16
            with open(path, "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)
    os.replace(partial, out)


if __name__ == "__main__":
    main()
