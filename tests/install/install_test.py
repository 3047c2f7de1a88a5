#!/usr/bin/python3
"""`cmake --install` into a folder of its own: the program, its launcher entry, its icons and its
AppStream file land in their standard places and pass the desktop's own validators."""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from program_runs import Checks  # noqa: E402

APP_ID = "com.halvorn.Parlavue"
SIZES = (16, 24, 32, 48, 64, 128, 256)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cmake", required=True)
    ap.add_argument("--build", required=True)
    args = ap.parse_args()
    for tool in ("desktop-file-validate", "appstreamcli"):
        if not shutil.which(tool):
            print("SKIP: %s is missing (desktop-file-utils, appstream)" % tool)
            return 77
    failures = check = Checks()

    with tempfile.TemporaryDirectory(prefix="parlavue-install-") as prefix:
        p = subprocess.run([args.cmake, "--install", args.build, "--prefix", prefix],
                           capture_output=True, text=True, timeout=120)
        check(p.returncode == 0, "cmake --install succeeds: %s" % p.stderr.strip()[-300:])
        share = os.path.join(prefix, "share")
        desktop = os.path.join(share, "applications", APP_ID + ".desktop")
        metainfo = os.path.join(share, "metainfo", APP_ID + ".metainfo.xml")
        exe = os.path.join(prefix, "bin", "parlavue")
        check(os.access(exe, os.X_OK), "the program is in bin/")
        d = subprocess.run(["desktop-file-validate", desktop], capture_output=True, text=True,
                           timeout=30)
        check(d.returncode == 0 and not d.stdout.strip(),
              "desktop-file-validate passes: %s" % d.stdout.strip())
        a = subprocess.run(["appstreamcli", "validate", "--no-net", metainfo],
                           capture_output=True, text=True, timeout=60)
        check(a.returncode == 0, "appstreamcli validate passes: %s" % a.stdout.strip()[-300:])
        with open(metainfo) as f:
            text = f.read()
        check("@PROJECT_VERSION@" not in text and '<release version="' in text,
              "the AppStream file names the release")
        icons = os.path.join(share, "icons", "hicolor")
        check(os.path.isfile(os.path.join(icons, "scalable", "apps", APP_ID + ".svg")),
              "the scalable icon is installed")
        for size in SIZES:
            png = os.path.join(icons, "%dx%d" % (size, size), "apps", APP_ID + ".png")
            check(os.path.isfile(png) and png_size(png) == (size, size),
                  "the %d x %d icon is installed at its size" % (size, size))
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        v = subprocess.run([exe, "--version"], capture_output=True, text=True, env=env,
                           timeout=20)
        check(v.returncode == 0 and v.stdout.startswith("parlavue "),
              "the installed program starts (--version)")
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
