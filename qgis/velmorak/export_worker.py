"""Writes a .12da or .12daz from the strings the QGIS plugin read, through the 12d library.

Run as a process of its own by the export algorithm, with any Python 3 (the
standard library only): python export_worker.py <library> <job file>. A crash
of the library here ends this process, never QGIS.

The job file is JSON, one object a line, so that a layer of any size is
streamed: first {"path": ..., "encoding": "UTF-8" or "UTF-16"}, then
{"model": name} before each model's strings and {"string": {...}} for each
string, with the fields of velmorak_d12_string_out (name, colour, style,
breakline, chainage or null, closed, x, y, z or null, attributes as
[name, kind, value] with kind "text", "integer" or "real"). Heights are
numbers, NaN for a null height; Python's float text round-trips exactly.

Exit status 0 when the file is written whole, 1 with the reason on standard
error otherwise (the file is then left as it was before).
"""
import ctypes
import json
import math
import sys

API_VERSION = 1
OK = 0
ENCODINGS = {"UTF-8": 0, "UTF-16": 1}
KINDS = {"text": 0, "integer": 1, "real": 2}


class AttributeValue(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("kind", ctypes.c_int), ("value", ctypes.c_char_p)]


class StringOut(ctypes.Structure):
    _fields_ = [
        ("name", ctypes.c_char_p),
        ("colour", ctypes.c_char_p),
        ("style", ctypes.c_char_p),
        ("breakline", ctypes.c_char_p),
        ("has_chainage", ctypes.c_int),
        ("chainage", ctypes.c_double),
        ("closed", ctypes.c_int),
        ("vertex_count", ctypes.c_size_t),
        ("x", ctypes.POINTER(ctypes.c_double)),
        ("y", ctypes.POINTER(ctypes.c_double)),
        ("z", ctypes.POINTER(ctypes.c_double)),
        ("attribute_count", ctypes.c_size_t),
        ("attributes", ctypes.POINTER(AttributeValue)),
    ]


class WriteFailed(Exception):
    pass


def load(library_path):
    lib = ctypes.CDLL(library_path)
    lib.velmorak_d12_api_version.restype = ctypes.c_int
    lib.velmorak_d12_last_error.restype = ctypes.c_char_p
    handle = ctypes.c_void_p
    if sys.platform == "win32":
        # The wide form takes any name, whatever the system's code page.
        lib.velmorak_d12_create_w.argtypes = [ctypes.c_wchar_p, ctypes.c_int, ctypes.POINTER(handle)]
        lib.velmorak_d12_create_w.restype = ctypes.c_int
    lib.velmorak_d12_create.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(handle)]
    lib.velmorak_d12_create.restype = ctypes.c_int
    lib.velmorak_d12_write_model.argtypes = [handle, ctypes.c_char_p]
    lib.velmorak_d12_write_model.restype = ctypes.c_int
    lib.velmorak_d12_write_string.argtypes = [handle, ctypes.POINTER(StringOut)]
    lib.velmorak_d12_write_string.restype = ctypes.c_int
    lib.velmorak_d12_writer_finish.argtypes = [handle]
    lib.velmorak_d12_writer_finish.restype = ctypes.c_int
    lib.velmorak_d12_writer_error.argtypes = [handle]
    lib.velmorak_d12_writer_error.restype = ctypes.c_char_p
    lib.velmorak_d12_writer_close.argtypes = [handle]
    lib.velmorak_d12_writer_close.restype = None
    version = lib.velmorak_d12_api_version()
    if version != API_VERSION:
        raise WriteFailed(f"{library_path} has the 12d interface version {version}; this plugin needs {API_VERSION}.")
    return lib


def _text(value):
    return None if value is None else str(value).encode("utf-8")


def _doubles(values):
    array = (ctypes.c_double * len(values))()
    for i, v in enumerate(values):
        array[i] = math.nan if v is None else float(v)
    return array


class Writer:
    def __init__(self, lib, path, encoding):
        self.lib = lib
        self.handle = ctypes.c_void_p()
        if sys.platform == "win32":
            status = lib.velmorak_d12_create_w(path, ENCODINGS[encoding], ctypes.byref(self.handle))
        else:
            status = lib.velmorak_d12_create(path.encode("utf-8"), ENCODINGS[encoding], ctypes.byref(self.handle))
        if status != OK:
            raise WriteFailed((lib.velmorak_d12_last_error() or b"").decode("utf-8", "replace") or
                              f"{path} cannot be created.")

    def _check(self, status):
        if status != OK:
            raise WriteFailed((self.lib.velmorak_d12_writer_error(self.handle) or b"").decode("utf-8", "replace"))

    def model(self, name):
        self._check(self.lib.velmorak_d12_write_model(self.handle, _text(name)))

    def string(self, s):
        x, y = s["x"], s["y"]
        if len(x) != len(y) or (s.get("z") is not None and len(s["z"]) != len(x)):
            raise WriteFailed(f"string {s.get('name')!r}: its coordinate lists differ in length.")
        attributes = s.get("attributes") or []
        # The texts must live until the call returns: keep every encoded one here.
        keep = []
        values = (AttributeValue * len(attributes))()
        for i, (name, kind, value) in enumerate(attributes):
            keep.append((_text(name), _text(value)))
            values[i].name, values[i].value = keep[-1]
            values[i].kind = KINDS[kind]
        xs, ys = _doubles(x), _doubles(y)
        zs = _doubles(s["z"]) if s.get("z") is not None else None
        out = StringOut()
        out.name, out.colour, out.style, out.breakline = (_text(s.get(k)) for k in ("name", "colour", "style", "breakline"))
        out.has_chainage = 1 if s.get("chainage") is not None else 0
        out.chainage = float(s["chainage"]) if out.has_chainage else 0.0
        out.closed = 1 if s.get("closed") else 0
        out.vertex_count = len(x)
        out.x = ctypes.cast(xs, ctypes.POINTER(ctypes.c_double))
        out.y = ctypes.cast(ys, ctypes.POINTER(ctypes.c_double))
        out.z = ctypes.cast(zs, ctypes.POINTER(ctypes.c_double)) if zs is not None else None
        out.attribute_count = len(attributes)
        out.attributes = ctypes.cast(values, ctypes.POINTER(AttributeValue))
        self._check(self.lib.velmorak_d12_write_string(self.handle, ctypes.byref(out)))

    def finish(self):
        self._check(self.lib.velmorak_d12_writer_finish(self.handle))

    def close(self):
        if self.handle:
            self.lib.velmorak_d12_writer_close(self.handle)
            self.handle = ctypes.c_void_p()


def write(library_path, job_path):
    """Writes the file the job describes; returns the number of strings written."""
    lib = load(library_path)
    count = 0
    with open(job_path, encoding="utf-8") as job:
        head = json.loads(job.readline())
        writer = Writer(lib, head["path"], head.get("encoding", "UTF-8"))
        try:
            for line in job:
                item = json.loads(line)
                if "model" in item:
                    writer.model(item["model"])
                else:
                    writer.string(item["string"])
                    count += 1
            writer.finish()
        finally:
            writer.close()
    return count


def main(argv):
    if len(argv) != 3:
        print("usage: export_worker.py <library> <job file>", file=sys.stderr)
        return 2
    try:
        count = write(argv[1], argv[2])
    except (WriteFailed, OSError, ValueError, KeyError) as e:
        print(f"ERROR - {e}", file=sys.stderr)
        return 1
    print(f"Wrote {count} strings")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
