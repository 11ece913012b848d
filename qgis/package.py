#!/usr/bin/env python3
"""Lays out the velmorak QGIS plugin from the builds, and zips it for "Install from ZIP".

    python3 qgis/package.py --linux-build build-release [--windows-build build-release-windows]
                            --tree DIR [--zip FILE]

The tree is DIR/velmorak/, as QGIS installs it into a profile's
python/plugins folder:

    velmorak/metadata.txt            version from the project
    velmorak/*.py, icon.png          the plugin
    velmorak/gdal_driver/ogr_12DA.py the GDAL Python driver (gdal/python/)
    velmorak/lib/linux-x86_64/       libvelmorak.so, velmorak
    velmorak/lib/windows-x64/        velmorak.dll, velmorak.exe (with --windows-build)

build.sh --qgis-plugin makes the zip of both systems; the QGIS test lays out
a Linux-only tree the same way.
"""
import argparse
import os
import re
import shutil
import stat
import subprocess
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE = os.path.join(ROOT, "qgis", "velmorak")
DRIVER = os.path.join(ROOT, "gdal", "python", "ogr_12DA.py")
PLUGIN_FILES = ("__init__.py", "algorithms.py", "export_worker.py", "feature_strings.py", "gdal_setup.py",
                "native.py", "plugin.py", "provider.py", "icon.png")


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"^project\(velmorak\b[^)]*\bVERSION\s+([0-9.]+)", f.read(), re.M)
    if not found:
        raise SystemExit("package.py: no project version in CMakeLists.txt")
    return found.group(1)


def _copy(source, target, executable=False):
    if not os.path.isfile(source):
        raise SystemExit(f"package.py: {source} is missing (build it first)")
    os.makedirs(os.path.dirname(target), exist_ok=True)
    # The library is the file its links name (libvelmorak.so -> .so.1 -> .so.1.0.0).
    shutil.copyfile(os.path.realpath(source), target)
    os.chmod(target, 0o755 if executable else 0o644)


def layout(tree, linux_build, windows_build=None):
    """Writes tree/velmorak/ and returns its path."""
    plugin = os.path.join(tree, "velmorak")
    if os.path.exists(plugin):
        shutil.rmtree(plugin)
    os.makedirs(plugin)
    for name in PLUGIN_FILES:
        _copy(os.path.join(SOURCE, name), os.path.join(plugin, name))
    with open(os.path.join(SOURCE, "metadata.txt.in"), encoding="utf-8") as f:
        metadata = f.read().replace("@VERSION@", project_version())
    with open(os.path.join(plugin, "metadata.txt"), "w", encoding="utf-8", newline="\n") as f:
        f.write(metadata)
    _copy(DRIVER, os.path.join(plugin, "gdal_driver", "ogr_12DA.py"))
    _copy(os.path.join(linux_build, "libvelmorak.so"), os.path.join(plugin, "lib", "linux-x86_64", "libvelmorak.so"))
    _copy(os.path.join(linux_build, "velmorak"), os.path.join(plugin, "lib", "linux-x86_64", "velmorak"), True)
    if windows_build:
        # mingw-w64's static C++ library brings its debugging sections and symbols along: half of each
        # file. The DLL's export table stays.
        strip = shutil.which("x86_64-w64-mingw32-strip")
        for name in ("velmorak.dll", "velmorak.exe"):
            target = os.path.join(plugin, "lib", "windows-x64", name)
            _copy(os.path.join(windows_build, name), target, True)
            if strip:
                subprocess.run([strip, target], check=True)
    return plugin


def make_zip(tree, zip_path):
    """Zips tree/velmorak/ with every entry under velmorak/, the converter marked executable."""
    plugin = os.path.join(tree, "velmorak")
    if os.path.exists(zip_path):
        os.remove(zip_path)
    with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_DEFLATED) as z:
        for folder, dirs, files in os.walk(plugin):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(folder, name)
                entry = zipfile.ZipInfo.from_file(path, os.path.relpath(path, tree).replace(os.sep, "/"))
                entry.external_attr = (stat.S_IFREG | (os.stat(path).st_mode & 0o777)) << 16
                entry.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as f:
                    z.writestr(entry, f.read())
    return zip_path


def main(argv):
    parser = argparse.ArgumentParser(description="Lays out and zips the velmorak QGIS plugin.")
    parser.add_argument("--linux-build", required=True, help="build folder of the Linux library and converter")
    parser.add_argument("--windows-build", help="build folder of velmorak.dll and velmorak.exe (mingw-w64)")
    parser.add_argument("--tree", required=True, help="folder to lay the plugin out in (as DIR/velmorak)")
    parser.add_argument("--zip", help="the zip to write")
    args = parser.parse_args(argv)
    plugin = layout(args.tree, args.linux_build, args.windows_build)
    if args.zip:
        print(make_zip(args.tree, args.zip))
    else:
        print(plugin)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
