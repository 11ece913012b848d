"""The 12DA driver in Python (gdal/python/ogr_12DA.py) against the native plugin.

One table over every 12d file at hand: the shared real-world files and
terrain-package exports, the project's examples and its test fixtures. Each
file is listed by `ogrinfo -ro -al` once with only the native plugin and once
with only the Python driver over the library this build made, and the two
listings must hold the same layers and the same features, field by field and
vertex by vertex. Files the native driver refuses, the Python driver must
refuse too. Then: both drivers installed at once (the native one serves, once,
quietly), the library looked for where the plugin layout puts it, and missing
without harm to GDAL; and the driver's own number reading, file test and
geometry encodings, which GDAL 3.6 does not reach all of.

Run by CTest: python_driver_test.py <shared-data-folder> <plugin-folder>
<libvelmorak> <source-folder>. Without GDAL's tools the test is skipped, or
fails where VELMORAK_GDAL_REQUIRED is set.
"""
import glob
import importlib.util
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from concurrent.futures import ThreadPoolExecutor

SHARED = sys.argv[1] if len(sys.argv) > 1 else ""
PLUGIN_DIR = sys.argv[2] if len(sys.argv) > 2 else ""
LIBRARY = sys.argv[3] if len(sys.argv) > 3 else ""
SOURCE = sys.argv[4] if len(sys.argv) > 4 else os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PYTHON_DRIVER_DIR = os.path.join(SOURCE, "gdal", "python")
REQUIRED = os.environ.get("VELMORAK_GDAL_REQUIRED", "") not in ("", "0")

# Files with null heights among real ones, listed again with the heights left as NaN and as a number.
OPTION_ROWS = [
    ("examples/site.12da", ["NULL_HEIGHT=NAN"]),
    ("12d-exports/super_strings.12da", ["NULL_HEIGHT=NAN"]),
    ("12d-exports/super_strings.12da", ["NULL_HEIGHT=-999", "MAX_VERTICES=50"]),
    ("fields.12da", ["NULL_HEIGHT=nan"]),
    ("fields.12da", ["NULL_HEIGHT=-1e3"]),
    ("fields.12daz", ["NULL_HEIGHT=nan"]),
    # A string longer than the limit stops the reading there.
    ("fields.12da", ["MAX_VERTICES=5"]),
    # Options the native driver refuses.
    ("fields.12da", ["NULL_HEIGHT=high"]),
    ("fields.12da", ["MAX_VERTICES=0"]),
    # Spatial filters (given to ogrinfo, not the driver): the native driver
    # reads only the strings whose boxes meet them, the Python one passes
    # the others over; both give what GDAL's test of each geometry keeps.
    ("examples/site.12da", ["-spat", "532400", "6945100", "532450", "6945150"]),
    ("realworld/12da/katana_all_geometries.12da", ["-spat", "502100", "6960050", "502600", "6960150"]),
    ("fields.12da", ["-spat", "2.5", "2.5", "3.5", "3.5"]),
    ("fields.12daz", ["-spat", "2.5", "2.5", "3.5", "3.5"]),
]


# Files the test writes, for what the corpus has little of: attributes named
# like a string's own fields, values that widen a field, names that differ
# only in case, points among lines, strings before the first model, null
# heights at the ends and inside, Windows-1252 and UTF-16 text, an archive.
MADE = {
    "fields.12da": """null -999
string 2d {
  name "before any model"
  z 4
  data { 1 1 }
}
model "Water"
string super {
  name      "WM \\"150\\""
  chainage  12.5
  breakline line
  colour    "light blue"
  style     "WATR Main"
  attributes {
    text    "Owner"        "Coliban {Water}"
    integer "Valves"       3
    real    "Diameter"     0.15
    text    "name"         "shadowed"
    integer "Null_Heights" 4
    integer "Count"        5
    group {
      name "Asset"
      attributes {
        text "Class" "A"
        group {
          name "Survey"
          attributes { text "Method" "GNSS // RTK" }
        }
      }
    }
  }
  data_3d {
    -999 2 null
    1 2 3
    4 5 null
    6 8 null
    9 9 7.25
    10 12 -999
  }
}
string super {
  name "WM 151"
  closed 1
  breakline point
  colour red
  attributes {
    real    "Valves"   2.5
    integer "Diameter" 1
    text    "count"    "five"
    text    Tin        "Natural"
    integer "Big"      9223372036854775808
  }
  data_2d {
    7 8
    9 10
    7 12
  }
}
string super {
  name "Hydrant"
  closed 1
  data_3d {
    3 3 101.5
  }
}
model "Lots"
string arc {
  name "Cul-de-sac"
  xcentre 5 ycentre 5 zcentre 1
  radius 3
}
string 3d {
  name "Caf\u00e9 wall"
  data {
    0 0 null
    1 0 null
  }
}
""",
}


def made_files(folder):
    """(label, path) of the files the test writes into `folder`."""
    import zipfile
    found = []
    for name, text in MADE.items():
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(text.encode("utf-8"))
        found.append((name, path))
        stem = name.rsplit(".", 1)[0]
        variants = [
            # Texts of an 8-bit code page, read as Windows-1252.
            (stem + "_cp1252.12da", text.encode("cp1252")),
            # UTF-16LE with CRLF, as the terrain package writes, found by its text alone.
            (stem + "_utf16.txt", b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le")),
        ]
        for variant, data in variants:
            path = os.path.join(folder, variant)
            with open(path, "wb") as f:
                f.write(data)
            found.append((variant, path))
        path = os.path.join(folder, stem + ".12daz")
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr(name, text.encode("utf-8"))
        found.append((stem + ".12daz", path))
    return found


def twelve_d_files():
    """(label, path) of every 12d file of the table."""
    found = []
    for folder in ("data/realworld/12da", "data/12d-exports"):
        for path in sorted(glob.glob(os.path.join(SHARED, folder, "*"))):
            if path.lower().endswith((".12da", ".12daz", ".4da")):
                found.append((os.path.relpath(path, os.path.join(SHARED, "data")), path))
    for root in ("examples", "tests/data"):
        for dirpath, _, names in sorted(os.walk(os.path.join(SOURCE, root))):
            for name in sorted(names):
                if name.lower().endswith((".12da", ".12daz", ".4da")):
                    path = os.path.join(dirpath, name)
                    found.append((os.path.relpath(path, SOURCE), path))
    return found


def ogrinfo(path, env_changes, options=()):
    env = dict(os.environ)
    for key in ("GDAL_DRIVER_PATH", "GDAL_PYTHON_DRIVER_PATH", "VELMORAK_LIBRARY", "CPL_DEBUG"):
        env.pop(key, None)
    env.update(env_changes)
    args = ["ogrinfo", "-ro", "-al", path]
    if options and options[0] == "-spat":
        args += options
    else:
        for o in options:
            args += ["-oo", o]
    run = subprocess.run(args, capture_output=True, env=env, timeout=120)
    return run.returncode, run.stdout.decode("utf-8", "replace"), run.stderr.decode("utf-8", "replace")


def listing(text):
    """The listing cut into its parts: the layers' headers and the features, the driver's and file's names left out."""
    parts = []
    current = []
    for line in text.splitlines():
        if line.startswith("INFO: Open of `") or re.match(r"\s+using driver `[^']*' successful\.", line):
            continue
        if line.startswith("OGRFeature(") or line.startswith("Layer name: "):
            if current:
                parts.append(current)
            current = []
        current.append(line)
    if current:
        parts.append(current)
    return ["\n".join(p).strip("\n") for p in parts]


def load_driver_module():
    sys.dont_write_bytecode = True  # nothing written beside the driver in the source tree
    found = importlib.util.spec_from_file_location("ogr_12DA_under_test", os.path.join(PYTHON_DRIVER_DIR, "ogr_12DA.py"))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


class PythonDriverTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if shutil.which("ogrinfo") is None:
            if REQUIRED:
                raise AssertionError("ogrinfo not found (Debian package gdal-bin)")
            raise unittest.SkipTest("ogrinfo not found (Debian package gdal-bin)")
        cls.tmp = tempfile.mkdtemp(prefix="velmorak-pydriver-")
        cls.empty = os.path.join(cls.tmp, "no-plugins")
        os.mkdir(cls.empty)
        cls.native = {"GDAL_DRIVER_PATH": PLUGIN_DIR, "GDAL_PYTHON_DRIVER_PATH": cls.empty}
        cls.python = {"GDAL_DRIVER_PATH": cls.empty, "GDAL_PYTHON_DRIVER_PATH": PYTHON_DRIVER_DIR,
                      "VELMORAK_LIBRARY": LIBRARY}
        cls.both = {"GDAL_DRIVER_PATH": PLUGIN_DIR, "GDAL_PYTHON_DRIVER_PATH": PYTHON_DRIVER_DIR,
                    "VELMORAK_LIBRARY": LIBRARY}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def formats(self, env):
        run = subprocess.run(["ogrinfo", "--formats"], capture_output=True, text=True,
                             env=dict(os.environ, **env), timeout=120)
        return [line.strip() for line in run.stdout.splitlines() if line.strip().startswith("12DA ")], run.stderr

    def assert_same_listing(self, label, native, python):
        n_rc, n_out, n_err = native
        p_rc, p_out, p_err = python
        if n_rc != 0:
            # The Python driver must not read what the native one refuses.
            self.assertNotEqual(p_rc, 0, f"{label}: the native driver refused it ({n_err.strip()}), the Python one read:\n{p_out}")
            return
        self.assertEqual(p_rc, 0, f"{label}: {p_err}")
        # The same warnings (a damaged file read as far as the damage: its line and reason), and no error.
        p_warnings, n_warnings = p_err.splitlines(), n_err.splitlines()
        self.assertEqual(p_warnings, n_warnings, label)
        for p in p_warnings:
            self.assertTrue(p.startswith("Warning 1: "), f"{label}: {p}")
        got, want = listing(p_out), listing(n_out)
        if "-spat" in label:
            # Under a spatial filter the native driver gives the extent of the
            # strings it keeps, the Python one the layer's, as GDAL allows.
            got, want = [re.sub(r"\nExtent: [^\n]*", "", p) for p in got], [re.sub(r"\nExtent: [^\n]*", "", p) for p in want]
        for i, (g, w) in enumerate(zip(got, want)):
            self.assertEqual(g, w, f"{label}: part {i} differs")
        self.assertEqual(len(got), len(want), f"{label}: {len(got)} parts against {len(want)}")
        return sum(1 for p in want if p.startswith("OGRFeature("))

    def test_listings_match_the_native_driver(self):
        self.assertEqual(self.formats(self.python)[0], ["12DA -vector- (ro): 12d ASCII"],
                         "GDAL did not load the Python driver")
        rows = [(label, path, ()) for label, path in twelve_d_files() + made_files(self.tmp)]
        by_label = {label: path for label, path, _ in rows}
        rows += [(f"{label} {' '.join(options)}", by_label[label], options) for label, options in OPTION_ROWS]
        self.assertGreater(sum(1 for r in rows if r[0].startswith("realworld")), 5)
        self.assertGreater(sum(1 for r in rows if r[0].startswith("tests/data")), 20)

        def run(row):
            label, path, options = row
            return label, ogrinfo(path, self.native, options), ogrinfo(path, self.python, options)

        opened = with_features = 0
        with ThreadPoolExecutor(max_workers=2) as pool:
            for label, native, python in pool.map(run, rows):
                with self.subTest(file=label):
                    with_features += bool(self.assert_same_listing(label, native, python))
                opened += native[0] == 0
        # Some fixtures are refused by both, and some hold no string; most files give features.
        self.assertGreater(opened, len(rows) // 2)
        self.assertGreater(with_features, len(rows) // 2)

    def test_calls_answer_alike(self):
        # What a program asks of a layer beyond a listing: metadata items, features by id (across layers),
        # filters, capabilities, and the errors of a refused open, with GDAL's exceptions on and off.
        script = """
import sys
from osgeo import gdal
if sys.argv[1] == "exceptions":
    gdal.UseExceptions()
messages = []
gdal.PushErrorHandler(lambda level, number, text: messages.append((level, number, text)))
for options in ([], ["NULL_HEIGHT=-999"], ["NULL_HEIGHT=high"], ["MAX_VERTICES=x"]):
    try:
        ds = gdal.OpenEx(sys.argv[2], gdal.OF_VECTOR, open_options=options)
    except RuntimeError as e:
        print("refused", e)
        continue
    if ds is None:
        print("refused")
        continue
    print(ds.GetDriver().ShortName, ds.GetDescription() == sys.argv[2], ds.GetLayerCount(), ds.TestCapability("CreateLayer"))
    for i in range(ds.GetLayerCount()):
        layer = ds.GetLayer(i)
        print(layer.GetName(), layer.GetFeatureCount(), layer.GetExtent(), layer.GetMetadataItem("NULL_HEIGHT"),
              layer.GetMetadata(), [layer.TestCapability(c) for c in ("FastFeatureCount", "FastGetExtent", "StringsAsUTF8")])
        for fid in (6, 4, 1, 2, 0, 99):
            f = layer.GetFeature(fid)
            print(fid, f and (f.GetFID(), f.GetField("name"), f.GetGeometryRef().ExportToIsoWkt()))
    water = ds.GetLayerByName("Water")
    water.SetAttributeFilter("Valves > 2.6")
    print([f.GetFID() for f in water], water.GetFeatureCount(), water.TestCapability("FastFeatureCount"))
    water.SetAttributeFilter(None)
    water.SetSpatialFilterRect(2.5, 2.5, 3.5, 3.5)
    print([f.GetFID() for f in water], water.GetFeatureCount())
print(messages)
"""
        path = made_files(self.tmp)[0][1]
        for mode in ("exceptions", "return codes"):
            answers = []
            for env in (self.native, self.python):
                run = subprocess.run([sys.executable, "-c", script, mode, path], capture_output=True, text=True,
                                     env=dict(os.environ, **env), timeout=120)
                self.assertEqual(run.returncode, 0, run.stderr)
                answers.append(run.stdout)
            with self.subTest(mode=mode):
                self.assertIn("INTERPOLATE", answers[0])
                self.assertIn("refused", answers[0])
                self.assertEqual(answers[1], answers[0])

    def test_both_installed_native_serves(self):
        rows, errors = self.formats(self.both)
        self.assertEqual(rows, ["12DA -raster,vector- (rw+vs): 12d ASCII"], errors)
        self.assertEqual(errors, "")
        path = os.path.join(SOURCE, "examples", "site.12da")
        rc, out, err = ogrinfo(path, self.both)
        self.assertEqual((rc, err), (0, ""))
        self.assertEqual(out, ogrinfo(path, self.native)[1])
        layers = re.findall(r"^Layer name: (.*)$", out, re.M)
        self.assertEqual(len(layers), len(set(layers)), layers)

    def test_library_lookup(self):
        # The plugin layout: the driver in python/, the library in lib/<platform>/.
        plugin = os.path.join(self.tmp, "plugin")
        os.makedirs(os.path.join(plugin, "python"))
        os.makedirs(os.path.join(plugin, "lib", "linux-x86_64"))
        shutil.copy(os.path.join(PYTHON_DRIVER_DIR, "ogr_12DA.py"), os.path.join(plugin, "python"))
        path = os.path.join(SOURCE, "examples", "site.12da")
        env = {"GDAL_DRIVER_PATH": self.empty, "GDAL_PYTHON_DRIVER_PATH": os.path.join(plugin, "python"),
               "VELMORAK_LIBRARY": os.path.join(self.tmp, "nowhere", "libvelmorak.so")}
        # No library: GDAL lists the driver and reports the open plainly, without a crash or a traceback.
        self.assertEqual(self.formats(env)[0], ["12DA -vector- (ro): 12d ASCII"])
        rc, out, err = ogrinfo(path, env)
        self.assertNotEqual(rc, 0)
        self.assertIn("velmorak library", err)
        self.assertIn("VELMORAK_LIBRARY", err)
        self.assertNotIn("Traceback", err)
        # The library where the plugin layout puts it.
        shutil.copy(LIBRARY, os.path.join(plugin, "lib", "linux-x86_64", "libvelmorak.so"))
        rc, out, err = ogrinfo(path, env)
        self.assertEqual((rc, err), (0, ""))
        self.assertEqual(listing(out), listing(ogrinfo(path, self.native)[1]))

    def test_values_file_test_and_geometry(self):
        driver = load_driver_module()
        # Attribute values as the native driver's from_chars reads them.
        numbers = [
            ("12", 12, 12.0), (" +7\t", 7, 7.0), ("-0", 0, -0.0), ("00012", 12, 12.0),
            ("9223372036854775807", 2**63 - 1, 9223372036854775807.0), ("9223372036854775808", None, 9223372036854775808.0),
            ("1.", None, 1.0), (".5", None, 0.5), ("5.e2", None, 500.0), ("-.5", None, -0.5), ("1.5E+03", None, 1500.0),
            ("4.9e-324", None, 5e-324), ("1e-320", None, 1e-320), ("2e-324", None, None), ("1e400", None, None),
            ("-1e400", None, None), ("1e", None, None), ("1_0", None, None), ("0x10", None, None), (".", None, None),
            ("-", None, None), ("++1", None, None), ("12abc", None, None), ("e5", None, None), ("\u0661", None, None),
            ("inf", None, math.inf), ("-Infinity", None, -math.inf), ("infinityx", None, None),
            ("NaN", None, math.nan), ("nan(x_Y1)", None, math.nan), ("nan(-)", None, None), ("", None, None),
        ]
        for text, integer, real in numbers:
            with self.subTest(value=text):
                self.assertEqual(driver.parse_integer(text), integer)
                got = driver.parse_real(text)
                if real is None or not math.isnan(real):
                    self.assertEqual(got, real)
                    if real == 0.0:
                        self.assertEqual(math.copysign(1, got), math.copysign(1, real))
                else:
                    self.assertTrue(got is not None and math.isnan(got), got)
        self.assertEqual([driver.kind_of(k, v) for k, v in [(1, "3"), (1, "3.5"), (2, "3"), (2, "x"), (0, "3"), (1, "9e999")]],
                         [driver.INTEGER, driver.REAL, driver.REAL, driver.TEXT, driver.TEXT, driver.TEXT])
        # The file test, on the bytes GDAL reads ahead.
        d = driver.Driver()
        existing = os.path.join(SOURCE, "examples", "site.12da")
        for name, head, want in [
            ("a.txt", b'null -999\nmodel "m"\n', True),
            ("a.txt", b"\xef\xbb\xbf// exported\r\n\r\n  model \"m\"\r\n", True),
            ("a.txt", b"\xff\xfe" + 'string super {\r\n'.encode("utf-16-le"), True),
            ("a.txt", b"\xfe\xff" + 'tin {\n'.encode("utf-16-be"), True),
            ("a.txt", b"model{\n", False),
            ("a.txt", b"string super\n", False),
            ("a.txt", b"name,x,y\nA,1,2\n", False),
            ("a.12DAZ", b"PK\x03\x04", True),
            ("a.12daz", b"null -999\n", True),  # by what it holds, whatever its name
            ("a.zip", b"PK\x03\x04" + bytes(22) + bytes([6, 0, 0, 0]) + b"x.12da", True),
            ("a.zip", b"PK\x03\x04" + bytes(22) + bytes([5, 0, 0, 0]) + b"x.txt", False),
            ("a.txt", b"// notes\nbreakline line\nstring super {\n", True),
        ]:
            with self.subTest(identify=head):
                self.assertEqual(d.identify(name, head, 0), want)
        self.assertTrue(d.identify(existing, b"", 0))  # an extension the driver takes, whatever the text
        self.assertFalse(d.identify(os.path.join(self.tmp, "missing.12da"), b"", 0))
        self.assertFalse(d.identify(self.tmp + "/", b"", 0))
        # Both geometry encodings give GDAL the same geometry, NaN heights and exact doubles included.
        from osgeo import ogr
        from array import array
        nan = math.nan
        for xs, ys, zs, point in [
            ([321104.51200000005, 1e-320, -0.1], [5812290.338, 2.0, 3.0], [212.406, nan, -1e300], False),
            ([1.0, 2.0], [3.0, 4.0], None, False),
            ([7.25], [8.5], [nan], True),
            ([7.25], [8.5], None, True),
        ]:
            a = [array("d", v) if v is not None else None for v in (xs, ys, zs)]
            from_wkb = ogr.CreateGeometryFromWkb(driver.wkb(*a, point))
            from_wkt = ogr.CreateGeometryFromWkt(driver.wkt(*a, point))
            with self.subTest(geometry=(xs, zs)):
                for g in (from_wkb, from_wkt):
                    self.assertIsNotNone(g)
                    self.assertEqual(g.GetGeometryName(), "POINT" if point else "LINESTRING")
                    self.assertEqual(g.Is3D(), zs is not None)
                    pts = [g.GetPoint(i) if zs is not None else g.GetPoint_2D(i) for i in range(g.GetPointCount())]
                    want = list(zip(xs, ys, zs)) if zs is not None else list(zip(xs, ys))
                    self.assertEqual(len(pts), len(want))
                    for p, w in zip(pts, want):
                        self.assertEqual([repr(v) for v in p], [repr(v) for v in w])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
