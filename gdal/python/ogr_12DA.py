# The GDAL vector driver "12DA" in Python: 12d ASCII files (.12da, .4da and
# .12daz archives) read through the converter's C library, for GDAL builds
# that cannot load the native plugin (QGIS on Windows, whose GDAL is built
# with another compiler). It serves the layers, fields, geometries and open
# options of the native driver: one layer per 12d model, one feature per
# string with vertices, the string number as the feature id. Read only.
#
# GDAL reads the lines below before Python runs: literal values only, each on
# one line. Where the native driver is installed too, GDAL registers it first
# and passes this file over (a driver name is registered once).
#
# gdal: DRIVER_NAME = "12DA"
# gdal: DRIVER_SUPPORTED_API_VERSION = [1]
# gdal: DRIVER_DCAP_VECTOR = "YES"
# gdal: DRIVER_DCAP_Z_GEOMETRIES = "YES"
# gdal: DRIVER_DCAP_FEATURE_STYLES = "YES"
# gdal: DRIVER_DMD_LONGNAME = "12d ASCII"
# gdal: DRIVER_DMD_EXTENSIONS = "12da 4da 12daz"
# gdal: DRIVER_DMD_EXTENSION = "12da"
# gdal: DRIVER_DMD_OPENOPTIONLIST = "<OpenOptionList><Option name='MAX_VERTICES' type='int' default='1000000' description='Most vertices of one string'/><Option name='NULL_HEIGHT' type='string' default='INTERPOLATE' description='A null height among real ones: INTERPOLATE, NaN or a number'/><Option name='ARCS' type='string-select' default='CURVES' description='Arcs as CURVES, DENSIFY or CHORDS'><Value>CURVES</Value><Value>DENSIFY</Value><Value>CHORDS</Value></Option><Option name='ARC_TOLERANCE' type='float' default='0.01' description='Largest chord-to-arc distance with DENSIFY'/><Option name='SRS' type='string' description='CRS of the layers, before a .prj or Header.mif beside the file'/><Option name='TIN_GEOMETRY' type='string-select' default='TRIANGLES' description='The features of a TIN layer: TRIANGLES (a POLYGON Z per visible triangle), TIN (one TIN Z per TIN), NONE (no TIN layers)'><Value>TRIANGLES</Value><Value>TIN</Value><Value>NONE</Value></Option></OpenOptionList>"
#
# The library is looked for in turn: the full path in VELMORAK_LIBRARY; the
# plugin layout, ../lib/linux-x86_64/libvelmorak.so or ../lib/windows-x64/
# velmorak.dll beside this file's folder; then the system's library path.

import ctypes
import ctypes.util
import math
import os
import re
import struct
import sys
from array import array

try:
    # Defined by GDAL when it loads this file as a driver.
    from gdal_python_driver import BaseDataset, BaseDriver, BaseLayer
except ImportError:
    # Imported by a program of its own (the tests), outside GDAL.
    class BaseLayer:
        FastFeatureCount = "FastFeatureCount"
        FastGetExtent = "FastGetExtent"
        RandomRead = "RandomRead"
        StringsAsUTF8 = "StringsAsUTF8"

    class BaseDataset:
        pass

    class BaseDriver:
        pass


API_VERSION = 1  # of velmorak/d12.h
OK, END = 0, 1
TEXT, INTEGER, REAL = 0, 1, 2
CE_WARNING, CE_FAILURE = 2, 3
CPLE_APPDEFINED, CPLE_ILLEGALARG, CPLE_NOTSUPPORTED = 1, 5, 6
GDAL_OF_UPDATE = 0x01

# As the native driver: a damaged file must not give every feature thousands
# of empty fields, nor a dataset countless layers.
MAX_FIELDS = 2000
MAX_LAYERS = 10000

# The string's own properties come first, in this order; its attributes follow.
FIXED_FIELDS = ["name", "type", "colour", "style", "breakline", "chainage", "closed"]
# The number of null heights a string had filled, in layers that have any.
NULL_HEIGHTS_FIELD = "null_heights"

# ---------------------------------------------------------------- GDAL's messages


def _gdal_library():
    """The GDAL library this driver runs in, through ctypes, or None."""
    if os.name == "posix":
        # A GDAL program (ogrinfo) has GDAL among its own libraries ...
        try:
            lib = ctypes.CDLL(None)
            lib.GDALVersionInfo
            return lib
        except (AttributeError, OSError):
            pass
        # ... a Python program has it behind GDAL's bindings.
        try:
            from osgeo import _gdal

            lib = ctypes.CDLL(_gdal.__file__)
            lib.GDALVersionInfo
            return lib
        except Exception:
            return None
    if os.name == "nt":
        # The GDAL DLL the process has loaded (gdal.dll, gdal309.dll ...).
        try:
            kernel32 = ctypes.WinDLL("kernel32", use_last_error=True)
            psapi = ctypes.WinDLL("psapi", use_last_error=True)
            kernel32.GetCurrentProcess.restype = ctypes.c_void_p
            kernel32.GetModuleFileNameW.argtypes = [ctypes.c_void_p, ctypes.c_wchar_p, ctypes.c_ulong]
            psapi.EnumProcessModules.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_void_p), ctypes.c_ulong,
                                                 ctypes.POINTER(ctypes.c_ulong)]
            modules = (ctypes.c_void_p * 4096)()
            needed = ctypes.c_ulong()
            if not psapi.EnumProcessModules(kernel32.GetCurrentProcess(), modules, ctypes.sizeof(modules),
                                            ctypes.byref(needed)):
                return None
            for module in modules[: min(needed.value // ctypes.sizeof(ctypes.c_void_p), len(modules))]:
                path = ctypes.create_unicode_buffer(1024)
                if kernel32.GetModuleFileNameW(module, path, 1024) and re.fullmatch(
                        r"gdal[0-9]*\.dll", os.path.basename(path.value), re.IGNORECASE):
                    lib = ctypes.CDLL(path.value)
                    lib.GDALVersionInfo
                    return lib
        except Exception:
            return None
    return None


_gdal = None


def gdal_function(name, restype, argtypes):
    """A function of GDAL's C interface, or None where GDAL's library cannot be reached."""
    global _gdal
    if _gdal is None:
        _gdal = _gdal_library() or False
    if not _gdal:
        return None
    try:
        function = getattr(_gdal, name)
    except AttributeError:
        return None
    function.restype = restype
    function.argtypes = argtypes
    return function


def _cpl_error_function():
    """CPLError of the GDAL that runs this driver, or None."""
    cpl_error = gdal_function("CPLError", None, [ctypes.c_int, ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p])
    if cpl_error is not None:
        return lambda level, number, text: cpl_error(level, number, b"%s", text.encode("utf-8", "replace"))
    try:
        from osgeo import gdal

        return lambda level, number, text: gdal.Error(level, number, text)
    except Exception:
        return None


_cpl_error = None


def report(level, number, text):
    """Reports `text` through GDAL's error handling; False where it cannot be reached."""
    global _cpl_error
    if _cpl_error is None:
        _cpl_error = _cpl_error_function() or False
    if not _cpl_error:
        return False
    try:
        _cpl_error(level, number, text)
    except RuntimeError:
        # A host that turned GDAL's errors into exceptions has seen the message.
        pass
    return True


def fail(number, text):
    """Fails an open: the message through GDAL, or as an exception that GDAL reports."""
    if not report(CE_FAILURE, number, text):
        raise RuntimeError(text)
    return None


# ---------------------------------------------------------------- the library


class String(ctypes.Structure):
    _fields_ = [
        ("number", ctypes.c_uint64),
        ("position", ctypes.c_uint64),
        ("line", ctypes.c_uint64),
        ("model", ctypes.c_char_p),
        ("type", ctypes.c_char_p),
        ("name", ctypes.c_char_p),
        ("colour", ctypes.c_char_p),
        ("style", ctypes.c_char_p),
        ("breakline", ctypes.c_char_p),
        ("has_chainage", ctypes.c_int),
        ("chainage", ctypes.c_double),
        ("closed", ctypes.c_int),
        ("has_heights", ctypes.c_int),
        ("vertex_count", ctypes.c_size_t),
        ("x", ctypes.POINTER(ctypes.c_double)),
        ("y", ctypes.POINTER(ctypes.c_double)),
        ("z", ctypes.POINTER(ctypes.c_double)),
        ("attribute_count", ctypes.c_size_t),
    ]


class Tin(ctypes.Structure):
    _fields_ = [
        ("kind", ctypes.c_int),
        ("line", ctypes.c_uint64),
        ("model", ctypes.c_char_p),
        ("name", ctypes.c_char_p),
        ("colour", ctypes.c_char_p),
        ("point_count", ctypes.c_size_t),
        ("points", ctypes.POINTER(ctypes.c_double)),
        ("triangle_count", ctypes.c_size_t),
        ("triangles", ctypes.POINTER(ctypes.c_uint32)),
        ("visible", ctypes.POINTER(ctypes.c_ubyte)),
        ("visible_count", ctypes.c_size_t),
        ("attribute_count", ctypes.c_size_t),
        ("member_count", ctypes.c_size_t),
    ]


def _platform_folder():
    machine = (os.environ.get("PROCESSOR_ARCHITECTURE", "") if os.name == "nt" else os.uname().machine).lower()
    wide = sys.maxsize > 2**32
    if sys.platform.startswith("linux") and machine in ("x86_64", "amd64") and wide:
        return "linux-x86_64", "libvelmorak.so"
    if sys.platform == "win32" and wide:
        return "windows-x64", "velmorak.dll"
    return None, None


def library_candidates(driver_file=None):
    """The places the library is looked for, in order: (what, path or name). The
    system's path is searched last, and only when asked for: it runs a program."""
    named = os.environ.get("VELMORAK_LIBRARY", "")
    if named:
        yield "VELMORAK_LIBRARY", named
    folder, name = _platform_folder()
    here = driver_file or globals().get("__file__", "")
    if folder and here:
        yield "plugin", os.path.join(os.path.dirname(os.path.abspath(here)), os.pardir, "lib", folder, name)
    system = ctypes.util.find_library("velmorak")
    if system:
        yield "system", system


def _bind(lib):
    c_int, c_size_t, c_uint64, c_double = ctypes.c_int, ctypes.c_size_t, ctypes.c_uint64, ctypes.c_double
    c_char_p, c_void_p = ctypes.c_char_p, ctypes.c_void_p
    doubles = ctypes.POINTER(c_double)
    signatures = {
        "velmorak_d12_api_version": (c_int, []),
        "velmorak_d12_last_error": (c_char_p, []),
        "velmorak_d12_open": (c_int, [c_char_p, c_size_t, ctypes.POINTER(c_void_p)]),
        "velmorak_d12_close": (None, [c_void_p]),
        "velmorak_d12_next": (c_int, [c_void_p, ctypes.POINTER(String)]),
        "velmorak_d12_seek": (c_int, [c_void_p, c_uint64]),
        "velmorak_d12_attribute": (c_int, [c_void_p, c_size_t, ctypes.POINTER(c_char_p), ctypes.POINTER(c_int),
                                           ctypes.POINTER(c_char_p)]),
        "velmorak_d12_error": (c_char_p, [c_void_p]),
        "velmorak_d12_arcs": (c_int, [c_void_p, ctypes.POINTER(doubles), ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte))]),
        "velmorak_d12_fill_null_heights": (c_size_t, [doubles, doubles, doubles, c_size_t]),
        "velmorak_d12_tin_open": (c_int, [c_char_p, ctypes.POINTER(c_void_p)]),
        "velmorak_d12_tin_close": (None, [c_void_p]),
        "velmorak_d12_tin_next": (c_int, [c_void_p, ctypes.POINTER(Tin)]),
        "velmorak_d12_tin_attribute": (c_int, [c_void_p, c_size_t, ctypes.POINTER(c_char_p), ctypes.POINTER(c_int),
                                               ctypes.POINTER(c_char_p)]),
        "velmorak_d12_tin_member": (c_char_p, [c_void_p, c_size_t]),
        "velmorak_d12_tin_error": (c_char_p, [c_void_p]),
    }
    if os.name == "nt":
        signatures["velmorak_d12_open_w"] = (c_int, [ctypes.c_wchar_p, c_size_t, ctypes.POINTER(c_void_p)])
    for name, (restype, argtypes) in signatures.items():
        function = getattr(lib, name)  # AttributeError: not this interface
        function.restype = restype
        function.argtypes = argtypes
    return lib


def load_library(driver_file=None):
    """(library, None), or (None, why not) in one line for the user."""
    tried = []
    for what, path in library_candidates(driver_file):
        if what != "system" and not os.path.isfile(path):
            tried.append(os.path.normpath(path))
            continue
        try:
            lib = _bind(ctypes.CDLL(path))
        except (OSError, AttributeError) as e:
            return None, "the velmorak library %s cannot be used: %s" % (path, e)
        version = lib.velmorak_d12_api_version()
        if version != API_VERSION:
            return None, "the velmorak library %s has the 12d interface version %d; this driver needs version %d" % (
                path, version, API_VERSION)
        return lib, None
    where = "; looked for " + ", ".join(tried) if tried else ""
    return None, ("the velmorak library (libvelmorak.so, or velmorak.dll on Windows) was not found: set "
                  "VELMORAK_LIBRARY to its full path, or install it in the lib folder of the 12DA plugin" + where)


_library = None


def library():
    global _library
    if _library is None:
        _library = load_library()
    return _library


# ---------------------------------------------------------------- values and texts

# What from_chars takes as a whole number and as a real, as the native driver
# reads attribute values: no locale, no underscores, no other digits than ASCII.
_INTEGER = re.compile(r"-?[0-9]+\Z")
_REAL = re.compile(r"-?(?:([0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?|(inf(?:inity)?)|nan(\([0-9A-Za-z_]*\))?)\Z",
                   re.IGNORECASE)
_NONZERO = re.compile(r"[1-9]")


def _trimmed(text):
    text = text.strip(" \t")
    if len(text) > 1 and text[0] == "+":
        text = text[1:]
    return text


def parse_integer(text):
    """The whole text as a 64-bit integer, or None."""
    text = _trimmed(text)
    if not _INTEGER.match(text):
        return None
    value = int(text)
    return value if -(2**63) <= value < 2**63 else None


def parse_real(text):
    """The whole text as a double, or None (also when out of a double's range)."""
    text = _trimmed(text)
    m = _REAL.match(text)
    if not m:
        return None
    if m.group(3) is not None:
        return float(text[: text.index("(")])
    value = float(text)
    # from_chars takes no number beyond a double's range, either way.
    if m.group(1) is not None and (math.isinf(value) or (value == 0.0 and _NONZERO.search(m.group(1)))):
        return None
    return value


def kind_of(kind, value):
    """The field kind an attribute value asks for."""
    if kind == INTEGER and parse_integer(value) is not None:
        return INTEGER
    if kind != TEXT and parse_real(value) is not None:
        return REAL
    return TEXT


def wider(a, b):
    """One field holds every value of its name: integers and reals meet as reals, anything else as texts."""
    if a == b:
        return a
    if a == TEXT or b == TEXT:
        return TEXT
    return REAL


_ASCII_LOWER = {c: c + 32 for c in range(ord("A"), ord("Z") + 1)}


def lower_ascii(text):
    return text.translate(_ASCII_LOWER)


def utf8(raw):
    return raw.decode("utf-8", "replace")


def base_name(path):
    """The file's name without folder and last extension, as GDAL's CPLGetBasename gives it."""
    start = max(path.rfind("/"), path.rfind("\\")) + 1
    name = path[start:]
    dot = name.rfind(".")
    return name[:dot] if dot > 0 else name


# ---------------------------------------------------------------- names, colours, CRS (as the native driver)


def layer_name_of_model(model):
    """The layer name of a model: GDAL's writers take layer names as file names, so
    '/', '\\' and a leading '..' become '_'. The model's own name stays in MODEL."""
    name = model.replace("/", "_").replace("\\", "_")
    return "_" + name[2:] if name.startswith("..") else name


# 12d's colour names in the order of its colour list: a colour given as a
# number is the entry at that position, from 1 (gdal/styles.cpp).
COLOURS = [
    ("red", 0xFF0000), ("green", 0x00FF00), ("blue", 0x0000FF), ("yellow", 0xFFFF00),
    ("cyan", 0x00FFFF), ("magenta", 0xFF00FF), ("white", 0xFFFFFF), ("black", 0x000000),
    ("orange", 0xFF8000), ("brown", 0xA0522D), ("grey", 0x808080), ("pink", 0xFFC0CB),
    ("purple", 0x800080), ("light blue", 0xADD8E6), ("dark blue", 0x00008B), ("light green", 0x90EE90),
    ("dark green", 0x006400), ("light grey", 0xD3D3D3), ("dark grey", 0x404040), ("dark red", 0x8B0000),
    ("gray", 0x808080), ("light gray", 0xD3D3D3),
]
_COLOUR_OF_NAME = {}
for _name, _rgb in COLOURS:
    _COLOUR_OF_NAME.setdefault(_name, _rgb)
_HEX6 = re.compile(r"[0-9A-Fa-f]{6}\Z")
_BLANKS = re.compile(r"[ \t_]+")


def colour_rgb(colour):
    """0xRRGGBB of a 12d colour (a name, a number of the list, #RRGGBB), or None."""
    colour = colour.strip(" \t")
    if not colour:
        return None
    if colour[0] == "#":
        return int(colour[1:], 16) if len(colour) == 7 and _HEX6.match(colour[1:]) else None
    if "0" <= colour[0] <= "9":
        if not colour.isascii() or not colour.isdigit():
            return None
        n = int(colour)
        return COLOURS[n - 1][1] if 1 <= n <= len(COLOURS) else None
    return _COLOUR_OF_NAME.get(_BLANKS.sub(" ", lower_ascii(colour)))


def pen_style(colour):
    """The OGR style string of a 12d colour, PEN(c:#RRGGBB), or None."""
    rgb = colour_rgb(colour)
    return None if rgb is None else "PEN(c:#%06X)" % rgb


class _QuietGdal:
    """GDAL's own messages while a file beside the 12d file is tried are not the user's concern."""

    def __enter__(self):
        self._push = gdal_function("CPLPushErrorHandler", None, [ctypes.c_void_p])
        self._pop = gdal_function("CPLPopErrorHandler", None, [])
        quiet = getattr(_gdal, "CPLQuietErrorHandler", None) if _gdal else None
        if self._push is None or self._pop is None or quiet is None:
            self._pop = None
        else:
            self._push(ctypes.cast(quiet, ctypes.c_void_p))
        return self

    def __exit__(self, *exc):
        if self._pop is not None:
            self._pop()
            reset = gdal_function("CPLErrorReset", None, [])
            if reset is not None:
                reset()
        return False


def _srs_wkt(handle):
    """WKT2 of an OGRSpatialReferenceH, which GDAL reads back as the same CRS; None when it cannot."""
    export = gdal_function("OSRExportToWktEx", ctypes.c_int,
                           [ctypes.c_void_p, ctypes.POINTER(ctypes.c_void_p), ctypes.POINTER(ctypes.c_char_p)])
    free = gdal_function("VSIFree", None, [ctypes.c_void_p])
    if export is None or free is None:
        return None
    text = ctypes.c_void_p()
    options = (ctypes.c_char_p * 2)(b"FORMAT=WKT2_2019", None)
    if export(handle, ctypes.byref(text), options) != 0 or not text.value:
        free(text)
        return None
    wkt = ctypes.string_at(text.value).decode("utf-8", "replace")
    free(text)
    return wkt


def _srs_from_user_input(text):
    """WKT of what OGRSpatialReference::SetFromUserInput makes of `text`, or None."""
    new = gdal_function("OSRNewSpatialReference", ctypes.c_void_p, [ctypes.c_char_p])
    set_input = gdal_function("OSRSetFromUserInput", ctypes.c_int, [ctypes.c_void_p, ctypes.c_char_p])
    destroy = gdal_function("OSRDestroySpatialReference", None, [ctypes.c_void_p])
    if new is None or set_input is None or destroy is None:
        return None
    handle = new(None)
    try:
        if set_input(handle, text.encode("utf-8", "surrogateescape")) != 0:
            return None
        return _srs_wkt(handle)
    finally:
        destroy(handle)


def _srs_of_header_mif(header):
    """WKT of the CRS GDAL's MapInfo driver reads from a header .mif's CoordSys, or None."""
    open_ex = gdal_function("GDALOpenEx", ctypes.c_void_p, [ctypes.c_char_p, ctypes.c_uint,
                                                            ctypes.POINTER(ctypes.c_char_p), ctypes.c_void_p,
                                                            ctypes.c_void_p])
    get_layer = gdal_function("GDALDatasetGetLayer", ctypes.c_void_p, [ctypes.c_void_p, ctypes.c_int])
    layer_srs = gdal_function("OGR_L_GetSpatialRef", ctypes.c_void_p, [ctypes.c_void_p])
    close = gdal_function("GDALClose", None, [ctypes.c_void_p])
    if None in (open_ex, get_layer, layer_srs, close):
        return None
    drivers = (ctypes.c_char_p * 2)(b"MapInfo File", None)
    ds = open_ex(header.encode("utf-8", "surrogateescape"), 0x04, drivers, None, None)  # GDAL_OF_VECTOR
    if not ds:
        return None
    try:
        layer = get_layer(ds, 0)
        srs = layer_srs(layer) if layer else None
        return _srs_wkt(srs) if srs else None
    finally:
        close(ds)


def crs_of_12d_file(path, option):
    """The CRS of a 12d file as WKT, as the native driver finds it (gdal/srs.h): the SRS
    option, else site.12da.prj or site.prj, else the CoordSys of a Header.mif beside it.
    None when nothing gives one; False after a CPLError when the option cannot be read."""
    if option:
        wkt = _srs_from_user_input(option)
        if wkt is None:
            fail(CPLE_ILLEGALARG, "SRS=%s: not a coordinate reference system GDAL knows." % option)
            return False
        return wkt
    stem = path[: len(path) - len(path.rsplit(".", 1)[-1]) - 1] if "." in os.path.basename(path) else path
    for prj in (path + ".prj", stem + ".prj"):
        if os.path.isfile(prj):
            try:
                with open(prj, "rb") as f:
                    text = b"".join(f.read().splitlines()).decode("utf-8", "surrogateescape")
            except OSError:
                text = ""
            with _QuietGdal():
                wkt = _srs_from_user_input(text) if text else None
            if wkt is None:
                report(CE_WARNING, CPLE_APPDEFINED,
                       "%s holds no coordinate reference system GDAL can read; it is passed over." % prj)
            return wkt
    header = os.path.join(os.path.dirname(path), "Header.mif")
    if os.path.isfile(header):
        with _QuietGdal():
            return _srs_of_header_mif(header)
    return None


def significant_lines(first_bytes, most=4):
    """The first lines that are neither empty nor comments, at most `most` of them."""
    if first_bytes[:2] in (b"\xff\xfe", b"\xfe\xff"):
        text = first_bytes[2:].decode("utf-16-le" if first_bytes[0] == 0xFF else "utf-16-be", "replace")
    else:
        text = first_bytes[3:] if first_bytes[:3] == b"\xef\xbb\xbf" else first_bytes
        text = text.decode("latin-1")
    lines = []
    for line in re.split(r"[\r\n]", text):
        line = line.lstrip(" \t")
        if line and not line.startswith("//"):
            lines.append(line)
            if len(lines) == most:
                break
    return lines


def is_12da_archive(first_bytes):
    """A ZIP archive whose first member is a .12da, as a .12daz is written."""
    if len(first_bytes) < 30 or first_bytes[:4] != b"PK\x03\x04":
        return False
    n = first_bytes[26] | (first_bytes[27] << 8)
    return n >= 5 and 30 + n <= len(first_bytes) and first_bytes[30:30 + n].lower().endswith(b".12da")


def is_12d_content(filename, first_bytes):
    """As the native driver tells a 12d file by what it holds: one of its first four
    significant lines is one a 12d file opens with, or it is a ZIP archive with a .12da
    first member. A long comment at the top is read past, up to 64 KiB."""
    if first_bytes[:2] == b"PK":
        return is_12da_archive(first_bytes)
    lines = significant_lines(first_bytes)
    if not lines and len(first_bytes) >= 1024 and os.path.isfile(filename):
        with open(filename, "rb") as f:
            lines = significant_lines(f.read(1 << 16))
    return any(is_12d_first_line(line) for line in lines)


def is_12d_first_line(line):
    """A line a 12d ASCII file opens with: its null value, a model or breakline line of
    its header, its first string, or a TIN."""
    m = re.search(r"[ \t{]", line)
    word, rest = (line[: m.start()], line[m.start():]) if m else (line, "")
    word = lower_ascii(word)
    has_rest = rest.strip(" \t") != ""
    if word in ("null", "model", "breakline"):
        return has_rest and rest[0] != "{"
    if word in ("string", "tin", "super_tin", "full_tin"):
        return "{" in rest
    return False


def _gdal_version():
    info = gdal_function("GDALVersionInfo", ctypes.c_char_p, [ctypes.c_char_p])
    try:
        return int(info(b"VERSION_NUM")) if info is not None else 0
    except ValueError:
        return 0


def set_layer_metadata(pointer, items):
    """Sets metadata items on GDAL's own object of a layer, whose address GDAL gives
    the layer as text: GDAL answers GetMetadataItem from there, not from Python."""
    set_item = gdal_function("GDALSetMetadataItem", ctypes.c_int,
                             [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p])
    try:
        address = int(pointer, 16)
    except (TypeError, ValueError):
        return
    if set_item is None or not address:
        return
    for key, value in items.items():
        set_item(address, key.encode("utf-8"), value.encode("utf-8"), None)


# GDAL takes a Python driver's geometries as WKB from 3.8 on, as WKT before.
# Both carry the exact doubles: WKT through the shortest text that reads back
# as the same double.
_wkb = None


def geometry_as_wkb():
    global _wkb
    if _wkb is None:
        _wkb = _gdal_version() >= 3080000
    return _wkb


_ORDER = 1 if sys.byteorder == "little" else 0
_POINT2, _POINT3 = struct.Struct("=BIdd"), struct.Struct("=BIddd")
_LINE = struct.Struct("=BII")


def wkb(xs, ys, zs, point):
    """ISO WKB of a point or line string from arrays of doubles (zs None: 2D)."""
    if point:
        if zs is None:
            return _POINT2.pack(_ORDER, 1, xs[0], ys[0])
        return _POINT3.pack(_ORDER, 1001, xs[0], ys[0], zs[0])
    n = len(xs)
    dim = 2 if zs is None else 3
    coords = array("d", bytes(8 * dim * n))
    coords[0::dim] = xs
    coords[1::dim] = ys
    if zs is not None:
        coords[2::dim] = zs
    return _LINE.pack(_ORDER, 2 if zs is None else 1002, n) + coords.tobytes()


def wkt(xs, ys, zs, point):
    """WKT of a point or line string, every double written so that it reads back the same."""
    if point:
        text = ("POINT (%r %r)" % (xs[0], ys[0])) if zs is None else ("POINT Z (%r %r %r)" % (xs[0], ys[0], zs[0]))
    elif zs is None:
        text = "LINESTRING (" + ",".join(map("%r %r".__mod__, zip(xs, ys))) + ")"
    else:
        text = "LINESTRING Z (" + ",".join(map("%r %r %r".__mod__, zip(xs, ys, zs))) + ")"
    if "n" in text[text.index("(") :]:
        # GDAL before 3.8 reads a null height only as "-nan", and an infinity only in digits.
        text = text.replace("nan", "-nan").replace("inf", "1e999")
    return text


# ---------------------------------------------------------------- arcs (as gdal/arcs.cpp)
# The same operations in the same order as the native driver, so that both
# give the same doubles: Python's math calls the C library the plugin calls.

_TWO_PI = 2.0 * math.pi


def arc_through(x0, y0, x1, y1, radius, major):
    """(centre x, centre y, start angle, sweep) of the arc from (x0, y0) to (x1, y1) of signed
    radius (positive: clockwise), or None for a straight segment."""
    dx = x1 - x0
    dy = y1 - y0
    chord = math.sqrt(dx * dx + dy * dy)
    r = math.fabs(radius)
    if not (r > 0.0) or not (chord > 0.0) or chord > 2.0 * r:
        return None
    half = chord / 2.0
    d = math.sqrt(max(0.0, r * r - half * half))
    side = 1.0 if (radius > 0.0) != major else -1.0
    cx = x0 + dx / 2.0 + side * d * (dy / chord)
    cy = y0 + dy / 2.0 - side * d * (dx / chord)
    a0 = math.atan2(y0 - cy, x0 - cx)
    a1 = math.atan2(y1 - cy, x1 - cx)
    sweep = a0 - a1 if radius > 0.0 else a1 - a0
    while sweep <= 0.0:
        sweep += _TWO_PI
    while sweep > _TWO_PI:
        sweep -= _TWO_PI
    return cx, cy, a0, sweep


def add_arc_extent(xs, ys, radius, major, e):
    """Widens the extent [minx, miny, maxx, maxy] to the arcs, which may bulge beyond the vertices."""
    for i in range(len(xs) - 1):
        arc = arc_through(xs[i], ys[i], xs[i + 1], ys[i + 1], radius[i], major[i] != 0)
        if arc is None:
            continue
        cx, cy, a0, sweep = arc
        r = math.fabs(radius[i])
        turn = -1.0 if radius[i] > 0.0 else 1.0
        for quarter in range(-8, 9):
            a = quarter * math.pi / 2.0
            along = turn * (a - a0)
            if along <= 0.0 or along >= sweep:
                continue
            px = cx + r * math.cos(a)
            py = cy + r * math.sin(a)
            e[0] = min(e[0], px)
            e[1] = min(e[1], py)
            e[2] = max(e[2], px)
            e[3] = max(e[3], py)


def arc_parts(xs, ys, zs, radius, major, mode, tolerance):
    """The parts of a string with arcs: [("LINESTRING"|"CIRCULARSTRING", [(x, y[, z])...])];
    one LINESTRING in DENSIFY and CHORDS."""
    n = len(xs)
    parts = []
    run = []
    kind = None
    pt = (lambda x, y, z: (x, y, z)) if zs is not None else (lambda x, y, z: (x, y))
    for i in range(n):
        zi = zs[i] if zs is not None else 0.0
        ri = radius[i] if radius is not None else 0.0
        mi = major is not None and major[i] != 0
        arc = arc_through(xs[i], ys[i], xs[i + 1], ys[i + 1], ri, mi) if mode != "CHORDS" and i + 1 < n else None
        z1 = zs[i + 1] if zs is not None and i + 1 < n else 0.0
        if mode == "CURVES":
            if arc is not None:
                if kind == "LINESTRING":
                    run.append(pt(xs[i], ys[i], zi))
                    parts.append((kind, run))
                    run = []
                if kind != "CIRCULARSTRING":
                    kind = "CIRCULARSTRING"
                    run = [pt(xs[i], ys[i], zi)]
                cx, cy, a0, sweep = arc
                r = math.fabs(ri)
                turn = -1.0 if ri > 0.0 else 1.0
                am = a0 + turn * sweep / 2.0
                run.append(pt(cx + r * math.cos(am), cy + r * math.sin(am), (zi + z1) / 2.0))
                run.append(pt(xs[i + 1], ys[i + 1], z1))
            else:
                if kind == "CIRCULARSTRING":
                    parts.append((kind, run))
                    run = []
                kind = "LINESTRING"
                run.append(pt(xs[i], ys[i], zi))
            continue
        kind = "LINESTRING"
        run.append(pt(xs[i], ys[i], zi))
        if arc is None:
            continue
        cx, cy, a0, sweep = arc
        r = math.fabs(ri)
        turn = -1.0 if ri > 0.0 else 1.0
        step = 2.0 * math.acos(max(-1.0, 1.0 - tolerance / r))
        steps = math.ceil(sweep / step) if step > 0.0 else 1.0
        count = 1 if steps < 1.0 else 100000 if steps > 100000.0 else int(steps)
        for k in range(1, count):
            t = float(k) / float(count)
            ak = a0 + turn * sweep * t
            run.append(pt(cx + r * math.cos(ak), cy + r * math.sin(ak), zi + (z1 - zi) * t))
    if len(run) > (2 if kind == "CIRCULARSTRING" else 1):
        parts.append((kind, run))
    return parts


_PART_TYPES = {"LINESTRING": 2, "CIRCULARSTRING": 8}


def arc_wkb(parts, three, compound):
    def part(kind, points):
        dim = 3 if three else 2
        coords = array("d", [v for p in points for v in p])
        return _LINE.pack(_ORDER, _PART_TYPES[kind] + (1000 if three else 0), len(points)) + coords.tobytes()

    if not compound:
        return part(*parts[0])
    return _LINE.pack(_ORDER, 9 + (1000 if three else 0), len(parts)) + b"".join(part(k, p) for k, p in parts)


def arc_wkt(parts, three, compound):
    z = " Z" if three else ""
    texts = []
    for kind, points in parts:
        coords = "(" + ",".join(" ".join("%r" % v for v in p) for p in points) + ")"
        texts.append(coords if kind == "LINESTRING" and compound else kind + z + " " + coords)
    text = ("COMPOUNDCURVE" + z + " (" + ",".join(texts) + ")") if compound else texts[0]
    if "n" in text.replace("COMPOUNDCURVE", "").replace("CIRCULARSTRING", "").replace("LINESTRING", ""):
        text = text.replace("nan", "-nan").replace("inf", "1e999")
    return text


# ---------------------------------------------------------------- the driver


class LayerScan:
    """What the first scan learns about one model."""

    def __init__(self, name, model):
        self.name = name
        self.model = model
        self.numbers = array("Q")  # the string numbers of its features
        self.positions = array("Q")  # ... and where they are, for the reader's seek
        self.boxes = array("d")  # ... and their plan boxes, widened to their arcs: min x, min y, max x, max y
        self.points = False  # it has one-vertex strings ...
        self.lines = False  # ... and strings of several vertices
        self.heights = False  # some vertex has a real height
        self.gaps = False  # some string has a null height among real ones
        self.curves = False  # some string has an arc
        self.extent = [math.inf, math.inf, -math.inf, -math.inf]
        self.arc_extent = [math.inf, math.inf, -math.inf, -math.inf]  # of the arcs' bulges beyond the vertices
        self.fields = []  # [name, kind] of the attributes in the order first met
        self.field_index = {}  # lower-case name -> index in fields
        self.fields_cut = False


def wkt_envelope(text):
    """The envelope (min x, min y, max x, max y) of a geometry's WKT: its
    first two numbers of each coordinate. None for no geometry, an empty one,
    or a text not understood: then every string is read."""
    if not text:
        return None
    xs = []
    ys = []
    try:
        for part in re.split(r"[(),]", text[text.find("("):] if "(" in text else ""):
            numbers = part.split()
            if len(numbers) >= 2:
                xs.append(float(numbers[0]))
                ys.append(float(numbers[1]))
    except ValueError:
        return None
    if not xs or any(map(math.isnan, xs + ys)):
        return None
    return min(xs), min(ys), max(xs), max(ys)


def _doubles(pointer, n):
    a = array("d")
    a.frombytes(ctypes.string_at(pointer, 8 * n))
    return a


def _has_nan(values):
    total = sum(values)
    return total != total and any(map(math.isnan, values))


class Layer(BaseLayer):
    def __init__(self, ds, scan, null_height, srs=None):
        self._ds = ds
        self._scan = scan
        self._null_height = null_height  # "INTERPOLATE", or a float (NaN: left as it is)
        self.name = scan.name
        self._interpolate = null_height == "INTERPOLATE"
        self._count_gaps = self._interpolate and scan.gaps
        fields = [{"name": n, "type": "String"} for n in FIXED_FIELDS[:5]]
        fields.append({"name": "chainage", "type": "Real"})
        fields.append({"name": "closed", "type": "Boolean"})
        if self._count_gaps:
            fields.append({"name": NULL_HEIGHTS_FIELD, "type": "Integer"})
        fixed = set(f["name"] for f in fields)
        # An attribute named like one of the string's own properties keeps its
        # value under the name of the block it comes from.
        self._field_names = []
        for name, kind in scan.fields:
            if lower_ascii(name) in fixed:
                name = "attributes/" + name
            self._field_names.append(name)
            fields.append({"name": name, "type": {INTEGER: "Integer64", REAL: "Real"}.get(kind, "String")})
        self.fields = fields
        flat = "Geometry" if scan.points and scan.lines else "Point" if scan.points else "LineString"
        self._srs = srs
        if null_height == "INTERPOLATE":
            self._null_text = "INTERPOLATE"
        elif math.isnan(null_height):
            self._null_text = "NaN"
        else:
            self._null_text = "%.17g" % null_height
        # The field of each attribute name met, by the name's bytes.
        self._attribute_field = {}

    def __setattr__(self, key, value):
        super().__setattr__(key, value)
        if key == "_gdal_pointer":
            set_layer_metadata(value, self.metadata(None))

    def metadata(self, domain):
        if domain:
            return None
        # In the order GDAL lists a native layer's items: by name.
        items = {}
        # The model's own name, which the layer's name may have had to change.
        if self._scan.model:
            items["MODEL"] = utf8(self._scan.model)
        items["NULL_HEIGHT"] = self._null_text
        return items

    def test_capability(self, cap):
        if cap == BaseLayer.FastFeatureCount:
            return getattr(self, "attribute_filter", None) is None and getattr(self, "spatial_filter", None) is None
        return cap in (BaseLayer.FastGetExtent, BaseLayer.StringsAsUTF8, "ZGeometries")

    def feature_count(self, force):
        return len(self._scan.numbers)

    @property
    def geometry_fields(self):
        scan = self._scan
        # A layer with arcs read as curves gives each of its lines as a CompoundCurve.
        line = "CompoundCurve" if scan.curves and self._ds.arc_mode == "CURVES" else "LineString"
        flat = "Geometry" if scan.points and scan.lines else "Point" if scan.points else line
        return [{"name": "", "type": flat + "Z" if scan.heights else flat, "srs": self._srs}]

    def extent(self, force):
        if not len(self._scan.numbers):
            return None
        e = list(self._scan.extent)
        if self._ds.arc_mode != "CHORDS":
            a = self._scan.arc_extent
            e = [min(e[0], a[0]), min(e[1], a[1]), max(e[2], a[2]), max(e[3], a[3])]
        return e

    def __iter__(self):
        ds = self._ds
        scan = self._scan
        # GDAL tests each feature against a spatial filter; a string whose box
        # misses the filter's envelope is passed over unread.
        window = wkt_envelope(getattr(self, "spatial_filter", None))
        boxes = scan.boxes
        for i in range(len(scan.numbers)):
            if window is not None and (boxes[4 * i + 2] < window[0] or boxes[4 * i] > window[2] or
                                       boxes[4 * i + 3] < window[1] or boxes[4 * i + 1] > window[3]):
                continue
            s = ds.read(scan.numbers[i], scan.positions[i])
            if s is None:
                return
            yield self._feature(s)

    def feature_by_id(self, fid):
        scan = self._scan
        if not len(scan.numbers) or fid < scan.numbers[0] or fid > scan.numbers[-1]:
            return None
        i = self._ds.feature_slot(self, fid)
        if i is None:
            return None
        s = self._ds.read(fid, scan.positions[i])
        return None if s is None else self._feature(s)

    def _feature(self, s):
        n = s.vertex_count
        xs = _doubles(s.x, n)
        ys = _doubles(s.y, n)
        zs = None
        fields = {}
        if s.has_heights:
            zs = _doubles(s.z, n)
            null_height = self._null_height
            if self._interpolate:
                filled = 0
                if _has_nan(zs):
                    filled = self._ds.lib.velmorak_d12_fill_null_heights(
                        s.x, s.y, (ctypes.c_double * n).from_buffer(zs), n)
                if self._count_gaps:
                    fields[NULL_HEIGHTS_FIELD] = filled
            elif null_height == null_height and _has_nan(zs):
                zs = array("d", [null_height if v != v else v for v in zs])
        elif self._count_gaps:
            fields[NULL_HEIGHTS_FIELD] = 0
        point = n == 1 or (n == 2 and s.closed and xs[0] == xs[1] and ys[0] == ys[1])
        radius, major = self._ds.arcs(n) if not point else (None, None)
        mode = self._ds.arc_mode
        if radius is not None or (self._scan.curves and mode == "CURVES" and not point):
            parts = arc_parts(xs, ys, zs, radius, major, mode, self._ds.arc_tolerance)
            compound = mode == "CURVES"
            geometry = (arc_wkb if geometry_as_wkb() else arc_wkt)(parts, zs is not None, compound)
        else:
            geometry = wkb(xs, ys, zs, point) if geometry_as_wkb() else wkt(xs, ys, zs, point)
        for key in ("name", "type", "colour", "style", "breakline"):
            value = getattr(s, key)
            if value:
                fields[key] = utf8(value)
        if s.has_chainage:
            fields["chainage"] = s.chainage
        fields["closed"] = 1 if s.closed else 0
        if s.attribute_count:
            self._set_attributes(s, fields)
        feature = {"type": "OGRFeature", "id": s.number, "fields": fields, "geometry_fields": {"": geometry}}
        # The colour as a pen, which QGIS and GDAL's writers of styles draw with.
        style = pen_style(fields["colour"]) if "colour" in fields else None
        if style is not None:
            feature["style"] = style
        return feature

    def _set_attributes(self, s, fields):
        ds = self._ds
        known = self._attribute_field
        for i in range(s.attribute_count):
            raw_name, kind, raw_value = ds.attribute(i)
            target = known.get(raw_name)
            if target is None:
                index = self._scan.field_index.get(lower_ascii(utf8(raw_name)))
                target = known[raw_name] = (None, None) if index is None else (
                    self._field_names[index], self._scan.fields[index][1])
            name, field_kind = target
            if name is None:
                continue
            value = utf8(raw_value)
            if field_kind == TEXT:
                fields[name] = value
            elif field_kind == INTEGER:
                v = parse_integer(value)
                if v is not None:
                    fields[name] = v
            else:
                v = parse_real(value)
                if v is not None:
                    fields[name] = v


class Dataset(BaseDataset):
    def __init__(self, lib, handle, path, null_height, srs=None, tin_geometry="TRIANGLES"):
        self.lib = lib
        self._handle = handle
        self._path = path
        self._string = String()
        self._string_ref = ctypes.byref(self._string)
        self._attr_name = ctypes.c_char_p()
        self._attr_kind = ctypes.c_int()
        self._attr_value = ctypes.c_char_p()
        self._attr_refs = (ctypes.byref(self._attr_name), ctypes.byref(self._attr_kind), ctypes.byref(self._attr_value))
        self._next_number = 1  # the number of the string the reader gives next
        self._stop_reported = False
        self._layer_of = None
        self._slot = None
        self.layers = [Layer(self, scan, null_height, srs) for scan in self._scan(null_height == "INTERPOLATE")]
        if tin_geometry != "NONE":
            self.layers += tin_layers(lib, path, tin_geometry, [layer.name for layer in self.layers])

    def close(self):
        if self._handle:
            self.lib.velmorak_d12_close(self._handle)
            self._handle = None

    def __del__(self):
        self.close()

    def attribute(self, i):
        name, kind, value = self._attr_refs
        if self.lib.velmorak_d12_attribute(self._handle, i, name, kind, value) != OK:
            return b"", TEXT, b""
        return self._attr_name.value or b"", self._attr_kind.value, self._attr_value.value or b""

    # How arcs are read (the open options ARCS and ARC_TOLERANCE), set once the dataset is made.
    arc_mode = "CURVES"
    arc_tolerance = 0.01

    def arcs(self, n):
        """The radius and major flag of each of the n vertices of the string given last, or (None, None)."""
        radius = ctypes.POINTER(ctypes.c_double)()
        major = ctypes.POINTER(ctypes.c_ubyte)()
        if self.lib.velmorak_d12_arcs(self._handle, ctypes.byref(radius), ctypes.byref(major)) != OK or not radius:
            return None, None
        return _doubles(radius, n), bytes(ctypes.string_at(major, n))

    def _error_text(self):
        return utf8(self.lib.velmorak_d12_error(self._handle) or b"")

    def read(self, number, position):
        """The string numbered `number` (at `position`), or None after reporting why not."""
        if self._handle is None:
            return None
        lib = self.lib
        if self._next_number != number:
            if lib.velmorak_d12_seek(self._handle, position) != OK:
                self._report_stop()
                return None
        status = lib.velmorak_d12_next(self._handle, self._string_ref)
        if status != OK:
            self._next_number = 0
            self._report_stop()
            return None
        self._next_number = number + 1
        return self._string

    def _report_stop(self):
        if not self._stop_reported:
            self._stop_reported = True
            report(CE_FAILURE, CPLE_APPDEFINED, self._error_text() or "%s: the file cannot be read again" % self._path)

    def feature_slot(self, layer, number):
        """Where string `number` is among the layer's features, or None when it is not one of them."""
        if self._slot is None or number < 1 or number > len(self._layer_of):
            return None
        index = self._layer_of[number - 1]
        if index < 0 or self.layers[index] is not layer:
            return None
        return self._slot[number - 1]

    def _scan(self, find_gaps):
        """Reads the file through once: its models, the fields of each, their counts and extents."""
        lib = self.lib
        handle = self._handle
        s = self._string
        ref = self._string_ref
        scans = []
        by_model = {}
        layer_of = array("i")
        slot = array("I")
        names = {}  # attribute name bytes -> (name, lower-case name)
        layers_cut = False
        while True:
            status = lib.velmorak_d12_next(handle, ref)
            if status == END:
                break
            if status != OK:
                # What came before the damage is read; the damage is told once, here.
                report(CE_WARNING, CPLE_APPDEFINED, self._error_text() + " The strings after this point are not read.")
                self._stop_reported = True
                break
            n = s.vertex_count
            if n == 0:
                layer_of.append(-1)
                slot.append(0)
                continue
            model = s.model
            index = by_model.get(model)
            if index is None:
                if len(scans) == MAX_LAYERS:
                    if not layers_cut:
                        report(CE_WARNING, CPLE_APPDEFINED, "%s, line %d: more than %d models; the strings of the "
                               "others are left out." % (self._path, s.line, MAX_LAYERS))
                    layers_cut = True
                    layer_of.append(-1)
                    slot.append(0)
                    continue
                index = by_model[model] = len(scans)
                scans.append(LayerScan(layer_name_of_model(utf8(model)) if model else base_name(self._path), model))
            layer = scans[index]
            layer_of.append(index)
            slot.append(len(layer.numbers))
            layer.numbers.append(s.number)
            layer.positions.append(s.position)
            xs = memoryview(ctypes.string_at(s.x, 8 * n)).cast("d")
            ys = memoryview(ctypes.string_at(s.y, 8 * n)).cast("d")
            # A closed string of one vertex comes with the copy that closes it.
            if n == 1 or (n == 2 and s.closed and xs[0] == xs[1] and ys[0] == ys[1]):
                layer.points = True
            else:
                layer.lines = True
            e = layer.extent
            e[0] = min(e[0], min(xs))
            e[1] = min(e[1], min(ys))
            e[2] = max(e[2], max(xs))
            e[3] = max(e[3], max(ys))
            radius, major = self.arcs(n)
            box = [min(xs), min(ys), max(xs), max(ys)]
            if radius is not None:
                layer.curves = True
                add_arc_extent(xs, ys, radius, major, layer.arc_extent)
                add_arc_extent(xs, ys, radius, major, box)
            layer.boxes.extend(box)
            if s.has_heights:
                layer.heights = True
                if find_gaps and not layer.gaps and _has_nan(memoryview(ctypes.string_at(s.z, 8 * n)).cast("d")):
                    layer.gaps = True
            for i in range(s.attribute_count):
                raw_name, kind, raw_value = self.attribute(i)
                known = names.get(raw_name)
                if known is None:
                    name = utf8(raw_name)
                    known = names[raw_name] = (name, lower_ascii(name))
                name, key = known
                f = layer.field_index.get(key)
                if f is not None:
                    field = layer.fields[f]
                    if field[1] != TEXT:
                        field[1] = wider(field[1], kind_of(kind, utf8(raw_value)))
                elif len(layer.fields) < MAX_FIELDS:
                    layer.field_index[key] = len(layer.fields)
                    layer.fields.append([name, kind_of(kind, utf8(raw_value))])
                elif not layer.fields_cut:
                    layer.fields_cut = True
                    report(CE_WARNING, CPLE_APPDEFINED, "%s, line %d: layer %s has more than %d attribute names; the "
                           "values of the others are left out." % (self._path, s.line, layer.name, MAX_FIELDS))
        self._next_number = 0  # the reader is at the end, or stopped
        self._layer_of = layer_of
        self._slot = slot
        return scans


# ---------------------------------------------------------------- surfaces
# Each tin and full_tin a layer named after it (and its model), each super_tin
# a layer of its members' triangles, as the native driver gives them
# (gdal/tin_layer.cpp): POLYGON Z triangles with the fields tin, [member,
# rank,] triangle and the surface's attributes, or with TIN_GEOMETRY=TIN one
# TIN Z feature per surface (per member of a super TIN).

SUPER_TIN = 2
_TIN_WORDS = ["tin", "full_tin", "super_tin"]


class TinScan:
    def __init__(self, ordinal, t):
        self.ordinal = ordinal
        self.kind = t.kind
        self.name = utf8(t.name or b"")
        self.model = utf8(t.model or b"")
        self.points = t.point_count
        self.visible = t.visible_count
        self.extent = [math.inf, math.inf, -math.inf, -math.inf]
        self.attributes = []  # [name, kind, value], the first of each name (in any case)
        self.members = []
        self.layer = ""


def _tin_reader(lib, path):
    handle = ctypes.c_void_p()
    if lib.velmorak_d12_tin_open(path.encode("utf-8", "surrogateescape"), ctypes.byref(handle)) != OK:
        return None
    return handle


def _read_tins(lib, path, wanted=None):
    """Yields (ordinal, Tin, reader handle) for each surface (those of `wanted`
    ordinals only); a damaged surface is reported as a warning and ends them."""
    handle = _tin_reader(lib, path)
    if handle is None:
        report(CE_WARNING, CPLE_APPDEFINED, utf8(lib.velmorak_d12_last_error() or b"") + " Its surfaces are not read.")
        return
    t = Tin()
    try:
        ordinal = 0
        while wanted is None or (wanted and ordinal <= max(wanted)):
            status = lib.velmorak_d12_tin_next(handle, ctypes.byref(t))
            if status == END:
                return
            if status != OK:
                report(CE_WARNING if wanted is None else CE_FAILURE, CPLE_APPDEFINED,
                       utf8(lib.velmorak_d12_tin_error(handle) or b"") +
                       (" The surfaces after this point are not read." if wanted is None else ""))
                return
            if wanted is None or ordinal in wanted:
                yield ordinal, t, handle
            ordinal += 1
    finally:
        lib.velmorak_d12_tin_close(handle)


def _tin_attribute(lib, handle, i):
    name, kind, value = ctypes.c_char_p(), ctypes.c_int(), ctypes.c_char_p()
    lib.velmorak_d12_tin_attribute(handle, i, ctypes.byref(name), ctypes.byref(kind), ctypes.byref(value))
    return utf8(name.value or b""), kind.value, utf8(value.value or b"")


def _tin_layer_name(t, taken):
    base = t.name if t.name else _TIN_WORDS[t.kind]
    if t.model:
        base += " (" + t.model + ")"
    name = base
    n = 2
    while name in taken:
        name = base + " (%d)" % n
        n += 1
    taken.append(name)
    return name


def tin_layers(lib, path, geometry, taken):
    scans = []
    for ordinal, t, handle in _read_tins(lib, path):
        scan = TinScan(ordinal, t)
        if t.point_count:
            p = memoryview(ctypes.string_at(t.points, 24 * t.point_count)).cast("d")
            xs, ys = p[0::3], p[1::3]
            scan.extent = [min(xs), min(ys), max(xs), max(ys)]
        seen = set()
        for i in range(t.attribute_count):
            name, kind, value = _tin_attribute(lib, handle, i)
            if lower_ascii(name) not in seen:
                seen.add(lower_ascii(name))
                scan.attributes.append([name, kind, value])
        scan.members = [utf8(lib.velmorak_d12_tin_member(handle, i) or b"") for i in range(t.member_count)]
        scans.append(scan)
    layers = []
    for scan in scans:
        scan.layer = _tin_layer_name(scan, taken)
        layers.append(TinLayer(lib, path, scan, scans, geometry))
    return layers


def _polygon_z(p, k):
    """ISO WKB (or WKT) of one triangle as a closed polygon."""
    ring = [k[0], k[1], k[2], k[0]]
    if geometry_as_wkb():
        coords = array("d", [p[3 * i + j] for i in ring for j in range(3)])
        return struct.pack("=BIII", _ORDER, 1003, 1, 4) + coords.tobytes()
    return "POLYGON Z ((" + ",".join("%r %r %r" % (p[3 * i], p[3 * i + 1], p[3 * i + 2]) for i in ring) + "))"


def _tin_z(p, triangles, visible, n):
    if geometry_as_wkb():
        parts = [struct.pack("=BII", _ORDER, 1016, sum(visible[t] for t in range(n)))]
        for t in range(n):
            if visible[t]:
                ring = [triangles[3 * t], triangles[3 * t + 1], triangles[3 * t + 2], triangles[3 * t]]
                coords = array("d", [p[3 * i + j] for i in ring for j in range(3)])
                parts.append(struct.pack("=BIII", _ORDER, 1017, 1, 4) + coords.tobytes())
        return b"".join(parts)
    rings = []
    for t in range(n):
        if visible[t]:
            ring = [triangles[3 * t], triangles[3 * t + 1], triangles[3 * t + 2], triangles[3 * t]]
            rings.append("((" + ",".join("%r %r %r" % (p[3 * i], p[3 * i + 1], p[3 * i + 2]) for i in ring) + "))")
    return "TIN Z (" + ",".join(rings) + ")" if rings else "TIN Z EMPTY"


class TinLayer(BaseLayer):
    def __init__(self, lib, path, scan, scans, geometry):
        self._lib = lib
        self._path = path
        self._scan = scan
        self._geometry = geometry
        self.name = scan.layer
        self._super = scan.kind == SUPER_TIN
        # The members the file holds, lowest rank first, with their ranks.
        if self._super:
            self._members = []
            for name in scan.members:
                m = next((s for s in scans if s.name == name and s.kind != SUPER_TIN), None)
                if m is not None:
                    self._members.append((m, scan.members.index(name) + 1))
        else:
            self._members = [(scan, 0)]
        fields = [{"name": "tin", "type": "String"}]
        if self._super:
            fields += [{"name": "member", "type": "String"}, {"name": "rank", "type": "Integer"}]
        if geometry == "TRIANGLES":
            fields.append({"name": "triangle", "type": "Integer"})
        taken = set(lower_ascii(f["name"]) for f in fields)
        self._attribute_names = []
        for name, kind, _ in scan.attributes:
            if lower_ascii(name) in taken:
                name = "attributes/" + name
            taken.add(lower_ascii(name))
            self._attribute_names.append(name)
            fields.append({"name": name, "type": {INTEGER: "Integer64", REAL: "Real"}.get(kind, "String")})
        self.fields = fields
        self.geometry_fields = [{"name": "", "type": "PolygonZ" if geometry == "TRIANGLES" else "TINZ"}]

    def metadata(self, domain):
        return None

    def test_capability(self, cap):
        if cap == BaseLayer.FastFeatureCount:
            return getattr(self, "attribute_filter", None) is None and getattr(self, "spatial_filter", None) is None
        return cap in (BaseLayer.FastGetExtent, BaseLayer.StringsAsUTF8, "ZGeometries")

    def feature_count(self, force):
        if self._geometry == "TIN":
            return len(self._members)
        return sum(m.visible for m, _ in self._members)

    def extent(self, force):
        boxes = [m.extent for m, _ in self._members if m.points]
        if not boxes:
            return None
        return [min(b[0] for b in boxes), min(b[1] for b in boxes), max(b[2] for b in boxes),
                max(b[3] for b in boxes)]

    def _fields(self, member, rank):
        fields = {"tin": self._scan.name}
        if self._super:
            fields["member"] = member.name
            fields["rank"] = rank
        for name, (_, kind, value) in zip(self._attribute_names, self._scan.attributes):
            if kind == INTEGER:
                v = parse_integer(value)
            elif kind == REAL:
                v = parse_real(value)
            else:
                v = value
            if v is not None:
                fields[name] = v
        return fields

    def __iter__(self):
        fid = 0
        for member, rank in self._members:
            for _, t, _ in _read_tins(self._lib, self._path, {member.ordinal}):
                p = memoryview(ctypes.string_at(t.points, 24 * t.point_count)).cast("d") if t.point_count else []
                n = t.triangle_count
                triangles = memoryview(ctypes.string_at(t.triangles, 12 * n)).cast("I") if n else []
                visible = ctypes.string_at(t.visible, n) if n else b""
                if self._geometry == "TIN":
                    fid += 1
                    yield {"type": "OGRFeature", "id": fid, "fields": self._fields(member, rank),
                           "geometry_fields": {"": _tin_z(p, triangles, visible, n)}}
                    continue
                for k in range(n):
                    if not visible[k]:
                        continue
                    fid += 1
                    fields = self._fields(member, rank)
                    fields["triangle"] = k + 1
                    yield {"type": "OGRFeature", "id": fid if self._super else k + 1, "fields": fields,
                           "geometry_fields": {"": _polygon_z(p, triangles[3 * k:3 * k + 3])}}


def _option(options, name, default):
    for key, value in (options or {}).items():
        if key.upper() == name:
            return value
    return default


def _atoll(text):
    m = re.match(r"[ \t\n\v\f\r]*([+-]?[0-9]+)", text)
    return int(m.group(1)) if m else 0


# What CPLStrtod reads whole: a decimal or hexadecimal number, or an infinity, after blanks.
_STRTOD = re.compile(r"[ \t\n\v\f\r]*([+-]?(?:(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?|inf(?:inity)?))\Z",
                     re.IGNORECASE)
_STRTOD_HEX = re.compile(r"[ \t\n\v\f\r]*([+-]?0x(?:[0-9a-f]+\.?[0-9a-f]*|\.[0-9a-f]+)(?:p[+-]?[0-9]+)?)\Z",
                         re.IGNORECASE)


def parse_null_height(text):
    """The NULL_HEIGHT open option as the native driver reads it: "INTERPOLATE", or a
    float (NaN for NAN); None when it is neither."""
    if text.upper() == "INTERPOLATE":
        return "INTERPOLATE"
    if text.upper() == "NAN":
        return math.nan
    m = _STRTOD.match(text)
    if m:
        return float(m.group(1))
    m = _STRTOD_HEX.match(text)
    if m:
        hex_text = m.group(1)
        if "p" not in hex_text.lower():
            hex_text += "p0"
        return float.fromhex(hex_text)
    return None


def _dataset_with_arcs(mode, tolerance):
    """A maker of datasets that read arcs as the open options ARCS and ARC_TOLERANCE say."""
    def make(*args):
        ds = Dataset(*args)
        ds.arc_mode = mode
        ds.arc_tolerance = tolerance
        return ds
    return make


class Driver(BaseDriver):
    def identify(self, filename, first_bytes, open_flags, open_options={}):
        try:
            ext = filename.rsplit(".", 1)[-1].lower() if "." in os.path.basename(filename) else ""
            if not first_bytes and not os.path.isfile(filename):
                return False
            if first_bytes and is_12d_content(filename, first_bytes):
                return True
            if ext == "12daz" and first_bytes[:2] == b"PK":
                return True
            # A file named as 12d ASCII goes to open(), which refuses other content with the reason.
            return ext in ("12da", "4da", "12daz")
        except Exception:
            return False

    def open(self, filename, first_bytes, open_flags, open_options={}):
        # Update access is declined quietly, as the native driver and GDAL's read-only drivers do.
        if open_flags & GDAL_OF_UPDATE:
            return None
        if not self.identify(filename, first_bytes, open_flags):
            return None
        ext = filename.rsplit(".", 1)[-1].lower() if "." in os.path.basename(filename) else ""
        if not (first_bytes and is_12d_content(filename, first_bytes)) and not (ext == "12daz" and first_bytes[:2] == b"PK"):
            return fail(CPLE_APPDEFINED, "%s: not a 12d ASCII file (neither its first lines nor a .12da member in a "
                        "ZIP archive)" % filename)
        limit = _option(open_options, "MAX_VERTICES", "1000000")
        capacity = _atoll(limit)
        if capacity < 1 or capacity > 2**31:
            return fail(CPLE_ILLEGALARG, "MAX_VERTICES=%s: a number of vertices from 1 to 2147483648 is needed." % limit)
        text = _option(open_options, "NULL_HEIGHT", "INTERPOLATE")
        null_height = parse_null_height(text)
        if null_height is None:
            return fail(CPLE_ILLEGALARG, "NULL_HEIGHT=%s: INTERPOLATE, NaN or a number is needed." % text)
        arcs = _option(open_options, "ARCS", "CURVES")
        if arcs.upper() not in ("CURVES", "DENSIFY", "CHORDS"):
            return fail(CPLE_ILLEGALARG, "ARCS=%s: CURVES, DENSIFY or CHORDS is needed." % arcs)
        tolerance_text = _option(open_options, "ARC_TOLERANCE", "0.01")
        tolerance = parse_null_height(tolerance_text)
        if not isinstance(tolerance, float) or not (tolerance > 0.0) or math.isinf(tolerance):
            return fail(CPLE_ILLEGALARG, "ARC_TOLERANCE=%s: a distance above 0 is needed." % tolerance_text)
        tin_geometry = _option(open_options, "TIN_GEOMETRY", "TRIANGLES").upper()
        if tin_geometry not in ("TRIANGLES", "TIN", "NONE"):
            return fail(CPLE_ILLEGALARG, "TIN_GEOMETRY=%s: TRIANGLES, TIN or NONE is needed."
                        % _option(open_options, "TIN_GEOMETRY", ""))
        if filename.startswith("/vsi"):
            return fail(CPLE_NOTSUPPORTED, "%s: the 12DA driver in Python reads files on disk only, not through GDAL's "
                        "virtual file systems." % filename)
        lib, why = library()
        if lib is None:
            return fail(CPLE_APPDEFINED, "%s: %s." % (filename, why))
        handle = ctypes.c_void_p()
        if os.name == "nt":
            status = lib.velmorak_d12_open_w(filename, capacity, ctypes.byref(handle))
        else:
            status = lib.velmorak_d12_open(filename.encode("utf-8", "surrogateescape"), capacity, ctypes.byref(handle))
        if status != OK:
            return fail(CPLE_APPDEFINED, utf8(lib.velmorak_d12_last_error() or b"") or "%s: cannot be read" % filename)
        srs = crs_of_12d_file(filename, _option(open_options, "SRS", ""))
        if srs is False:
            lib.velmorak_d12_close(handle)
            return None
        return _dataset_with_arcs(arcs.upper(), tolerance)(lib, handle, filename, null_height, srs, tin_geometry)
