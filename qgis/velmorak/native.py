"""The native files the plugin carries, and the converter run beside QGIS.

The zip holds the converter and the 12d library for each system under
lib/<platform>/. Every conversion runs the converter as a process of its own:
a damaged file that stopped it, or worse, never takes QGIS down with it.

The converter writes its outputs beside File 1 (and the -zln report layers in
the current folder), so a run works on links or copies of its inputs in a
folder of its own, which is also its current folder; the caller then moves
what the run made to where the user asked for it.
"""
import ntpath
import os
import posixpath
import shutil
import stat
import subprocess
import sys
import tempfile

PLUGIN_DIR = os.path.dirname(os.path.abspath(__file__))
# Folder names under lib/, as the GDAL Python driver looks for them too.
PLATFORMS = {"linux": "linux-x86_64", "win32": "windows-x64"}
LIBRARY_NAMES = {"linux": "libvelmorak.so", "win32": "velmorak.dll"}
CONVERTER_NAMES = {"linux": "velmorak", "win32": "velmorak.exe"}
# The converter's console window would flash up for every run on Windows.
CREATE_NO_WINDOW = 0x08000000


class NativeError(Exception):
    """The plugin cannot run here: no native files for this system, or a run that failed."""


def _system():
    return "win32" if sys.platform == "win32" else "linux" if sys.platform.startswith("linux") else sys.platform


def platform_dir():
    system = _system()
    if system not in PLATFORMS:
        raise NativeError(f"The velmorak plugin has no converter for this system ({sys.platform}).")
    return os.path.join(PLUGIN_DIR, "lib", PLATFORMS[system])


def library_path():
    """The 12d library: VELMORAK_LIBRARY when set (as the GDAL Python driver takes it), else the bundled one."""
    path = os.environ.get("VELMORAK_LIBRARY") or os.path.join(platform_dir(), LIBRARY_NAMES[_system()])
    if not os.path.isfile(path):
        raise NativeError(f"The 12d library is missing: {path}")
    return path


def converter_path():
    path = os.path.join(platform_dir(), CONVERTER_NAMES[_system()])
    if not os.path.isfile(path):
        raise NativeError(f"The velmorak converter is missing: {path}")
    # QGIS's "Install from ZIP" unpacks with Python's zipfile, which drops the
    # execute bit the zip recorded.
    if _system() != "win32" and not os.access(path, os.X_OK):
        mode = os.stat(path).st_mode
        os.chmod(path, mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)
    return path


def driver_dir():
    """The folder of the GDAL Python driver (ogr_12DA.py) that the zip carries."""
    return os.path.join(PLUGIN_DIR, "gdal_driver")


def python_interpreter(executable=None, exec_prefix=None, windows=None, exists=None, which=shutil.which):
    """A Python interpreter for the export worker, found from QGIS's own Python.

    Inside QGIS sys.executable is the QGIS program on Windows (qgis-bin.exe,
    qgis-ltr-bin.exe) and often on Linux too. The first that exists of:
    sys.executable when its name starts with "python"; python3 and python
    (python3.exe and python.exe on Windows) beside it (the QGIS bin folder);
    the same in sys.exec_prefix (the apps\\PythonNN folder of a Windows QGIS)
    and in its bin folder (/usr/bin on Linux); python3, then python, on PATH.
    The worker needs only Python's standard library. The arguments stand in
    for this process's own values in the tests.
    """
    executable = (sys.executable or "") if executable is None else executable
    exec_prefix = sys.exec_prefix if exec_prefix is None else exec_prefix
    windows = _system() == "win32" if windows is None else windows
    if exists is None:
        def exists(candidate):
            return os.path.isfile(candidate) and os.access(candidate, os.X_OK)
    path = ntpath if windows else posixpath
    names = ["python3.exe", "python.exe"] if windows else ["python3", "python"]
    candidates = []
    if path.basename(executable).lower().startswith("python"):
        candidates.append(executable)
    for folder in (path.dirname(executable), exec_prefix, exec_prefix and path.join(exec_prefix, "bin")):
        if folder:
            candidates.extend(path.join(folder, name) for name in names)
    for candidate in candidates:
        if exists(candidate):
            return candidate
    # which() gives only files there that can run.
    for found in map(which, names):
        if found:
            return found
    raise NativeError("No Python interpreter found beside QGIS for the 12d export (looked beside "
                      f"{executable or 'QGIS'} and in {exec_prefix}).")


def link_or_copy(source, target):
    """Puts `source` at `target`: a hard link when both are on one file system, else a copy.

    The copy keeps the modification time: the MIF conversions compare a
    layer's time with its .tab's."""
    try:
        os.link(source, target)
    except OSError:
        shutil.copy2(source, target)


def sibling(path, extension):
    """The file beside `path` with the same stem and `extension`, in any letter case; None when absent."""
    folder = os.path.dirname(os.path.abspath(path))
    stem = os.path.splitext(os.path.basename(path))[0]
    exact = os.path.join(folder, stem + extension)
    if os.path.isfile(exact):
        return exact
    wanted = (stem + extension).lower()
    try:
        for name in os.listdir(folder):
            if name.lower() == wanted and os.path.isfile(os.path.join(folder, name)):
                return os.path.join(folder, name)
    except OSError:
        pass
    return None


def find_in_folder(folder, name):
    """`name` in `folder`, in any letter case; None when absent."""
    try:
        for entry in os.listdir(folder):
            if entry.lower() == name.lower() and os.path.isfile(os.path.join(folder, entry)):
                return os.path.join(folder, entry)
    except OSError:
        pass
    return None


class RunResult:
    def __init__(self, status, stdout, stderr):
        self.status = status
        self.stdout = stdout
        self.stderr = stderr

    @property
    def lines(self):
        return [line for line in (self.stdout + "\n" + self.stderr).splitlines() if line.strip()]

    def messages(self, kinds=("ERROR",)):
        """The converter's messages of the given kinds, each with the lines that belong to it:
        the lines after it up to the next message."""
        out = []
        current = None
        for line in self.lines:
            head = line.split(" ", 1)[0].rstrip(":")
            if head in ("ERROR", "WARNING", "CHECK", "SORRY"):
                current = [line] if head in kinds else None
                if current is not None:
                    out.append(current)
            elif current is not None:
                current.append(line)
        return ["\n".join(m) for m in out]


def run(args, cwd, feedback=None, poll=0.1):
    """Runs `args` in `cwd` with nothing to read on standard input, both output
    streams kept. A cancel from `feedback` ends the process."""
    kwargs = {}
    if _system() == "win32":
        kwargs["creationflags"] = CREATE_NO_WINDOW
    # Output goes to files, not pipes: a chatty run cannot fill a pipe and stall.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.Popen(args, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out, stderr=err, **kwargs)
        while True:
            try:
                status = process.wait(timeout=poll)
                break
            except subprocess.TimeoutExpired:
                if feedback is not None and feedback.isCanceled():
                    process.kill()
                    process.wait()
                    raise NativeError("Cancelled.")
        out.seek(0)
        err.seek(0)
        return RunResult(status, out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace"))
