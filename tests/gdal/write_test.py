"""The 12DA driver writing 12d ASCII through GDAL, end to end.

Layers with points, lines, polygons and multi-geometries, with and without
Z, non-ASCII names and typed fields, in a GeoPackage, a Shapefile and a
GeoJSON file, are written with `ogr2ogr -f 12DA` to .12da and .12daz (UTF-8
and UTF-16) and read back through the driver and into a GeoPackage: every
part keeps its vertices to the written precision, its heights and its
fields. The archives pass `unzip -t` and Python's zipfile; the converter
converts the files the driver writes.

Run by CTest: write_test.py <shared-data-folder> <installed-plugin-dir> <velmorak>.
"""
import math
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

from osgeo import gdal, ogr, osr

gdal.UseExceptions()
VELMORAK = sys.argv[3] if len(sys.argv) > 3 else ""
NAN = float("nan")

# name, WKT, fields: the source layer. Each part of a geometry becomes a
# string of its own; a polygon's rings come back closed.
FEATURES = [
    ("Kerb Łódź", "LINESTRING Z (321104.512 5812290.338 212.406,321128.09 5812301.771 212.5125)",
     {"count": 3, "height": 0.15, "kind": "kerb \"lip\"", "Asset/Owner": "Coliban", "Asset/Survey/Method": "GNSS"}),
    ("測量 line", "LINESTRING (10 20,30 40,50 45)", {"count": None, "height": None, "kind": ""}),
    ("Lot 7", "POLYGON ((0 0,100 0,100 100,0 100,0 0),(10 10,20 10,20 20,10 10))", {"count": 7}),
    ("Spot", "POINT Z (500 600 12.25)", {"kind": "level"}),
    ("Pair", "MULTILINESTRING ((1 1,2 2),(3 3,4 4,5 5))", {"height": -2.5}),
    ("Mark", "POINT (7 8)", {}),
]
FIELDS = [("name", ogr.OFTString), ("count", ogr.OFTInteger64), ("height", ogr.OFTReal), ("kind", ogr.OFTString),
          ("Asset/Owner", ogr.OFTString), ("Asset/Survey/Method", ogr.OFTString)]


def parts(geom):
    """Each string the driver writes for a geometry: its vertices, and whether it is closed."""
    name = geom.GetGeometryName()
    if name in ("POINT", "LINESTRING"):
        pts = [geom.GetPoint(0)] if name == "POINT" else geom.GetPoints()
        return [([p if geom.Is3D() else p[:2] for p in pts], False)]
    if name == "POLYGON":
        return [([p if geom.Is3D() else p[:2] for p in geom.GetGeometryRef(i).GetPoints()], True)
                for i in range(geom.GetGeometryCount())]
    out = []
    for i in range(geom.GetGeometryCount()):
        out += parts(geom.GetGeometryRef(i))
    return out


def close(a, b, tolerance):
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return abs(a - b) <= tolerance


def run(*args, **kw):
    # The converter's console shows names in Windows-1252.
    return subprocess.run(list(args), capture_output=True, text=True, errors="replace", **kw)


def family(field_type):
    """12d integers are read as 64-bit: an Integer field comes back Integer64."""
    return ogr.OFTInteger64 if field_type == ogr.OFTInteger else field_type


class WriteTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="velmorak-gdal-write-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def source(self, driver, name, layers, options=()):
        """A source of the given layers: {layer name: [(name, WKT, fields)]}."""
        path = os.path.join(self.tmp, name)
        ds = ogr.GetDriverByName(driver).CreateDataSource(path)
        for layer_name, features in layers.items():
            layer = ds.CreateLayer(layer_name, None, ogr.wkbUnknown, list(options))
            for field, kind in FIELDS:
                if driver == "ESRI Shapefile" and "/" in field:
                    continue  # a DBF field name holds ten characters
                layer.CreateField(ogr.FieldDefn(field, kind))
            for name_value, wkt, fields in features:
                f = ogr.Feature(layer.GetLayerDefn())
                f.SetField("name", name_value)
                for k, v in fields.items():
                    if layer.GetLayerDefn().GetFieldIndex(k) >= 0 and v is not None:
                        f.SetField(k, v)
                f.SetGeometry(ogr.CreateGeometryFromWkt(wkt))
                layer.CreateFeature(f)
        ds = None
        return path

    def write(self, source, out, *options):
        target = os.path.join(self.tmp, out)
        if os.path.exists(target):
            os.remove(target)
        r = run("ogr2ogr", "-f", "12DA", target, source, *options)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr, "")
        return target

    def check_read_back(self, path, source):
        """The features of a written file, through the driver and then through a GeoPackage,
        against those of its source, as the source's driver gives them back."""
        gpkg = os.path.join(self.tmp, os.path.basename(path) + ".gpkg")
        if os.path.exists(gpkg):
            os.remove(gpkg)
        r = run("ogr2ogr", "-f", "GPKG", gpkg, path)
        self.assertEqual(r.returncode, 0, r.stderr)
        src = gdal.OpenEx(source, gdal.OF_VECTOR)
        layers = [src.GetLayer(i).GetName() for i in range(src.GetLayerCount())]
        for reread in (path, gpkg):
            ds = gdal.OpenEx(reread, gdal.OF_VECTOR)
            self.assertEqual(sorted(ds.GetLayer(i).GetName() for i in range(ds.GetLayerCount())), sorted(layers))
            for name in layers:
                self.check_layer(ds.GetLayerByName(name), src.GetLayerByName(name), reread)

    def check_layer(self, layer, source, reread):
        got = [f for f in layer]
        expected = [(f, part) for f in source for part in parts(f.GetGeometryRef())]
        self.assertEqual(len(got), len(expected), reread)
        defn = layer.GetLayerDefn()
        source_defn = source.GetLayerDefn()
        for f, (s, (vertices, ring)) in zip(got, expected):
            where = f"{os.path.basename(reread)}: {s.GetField('name')}"
            self.assertEqual(f.GetField("name"), s.GetField("name"), where)
            self.assertEqual(f.GetField("closed"), 1 if ring else 0, where)
            g = f.GetGeometryRef()
            back = parts(g)[0][0]
            self.assertEqual(len(back), len(vertices), f"{where}: {back}")
            self.assertEqual(g.Is3D(), len(vertices[0]) == 3, where)
            for b, v in zip(back, vertices):
                self.assertTrue(close(b[0], v[0], 5e-6) and close(b[1], v[1], 5e-6), f"{where}: {back}")
                if len(v) == 3:
                    self.assertTrue(close(b[2], v[2], 5e-5), f"{where}: {back}")
            for j in range(source_defn.GetFieldCount()):
                field = source_defn.GetFieldDefn(j)
                if field.GetName() == "name":
                    continue
                i = defn.GetFieldIndex(field.GetName())
                if not s.IsFieldSetAndNotNull(j) or s.GetField(j) == "":
                    self.assertFalse(i >= 0 and f.IsFieldSetAndNotNull(i), f"{where}: {field.GetName()}")
                else:
                    self.assertEqual(defn.GetFieldDefn(i).GetType(), family(field.GetType()), f"{where}: {field.GetName()}")
                    self.assertEqual(f.GetField(i), s.GetField(j), f"{where}: {field.GetName()}")

    def test_round_trips(self):
        mixed = {"breaklines": FEATURES}
        # A shapefile holds one kind of geometry, with Z or without it, per layer.
        by_kind = {"lines_z": [f for f in FEATURES if f[1].startswith("LINESTRING Z")],
                   "lines": [f for f in FEATURES if f[1].startswith(("LINESTRING (", "MULTILINESTRING"))],
                   "polygons": [f for f in FEATURES if f[1].startswith("POLYGON")],
                   "points": [f for f in FEATURES if f[1].startswith("POINT (")]}
        gpkg = self.source("GPKG", "in.gpkg", mixed)
        cases = [
            (gpkg, "out.12da", ()),
            (gpkg, "out.12daz", ()),
            (gpkg, "out-utf16.12daz", ("-dsco", "ENCODING=UTF-16")),
            (self.source("GeoJSON", "in.geojson", mixed), "from-geojson.12da", ()),
            (self.source("ESRI Shapefile", "shapes", by_kind, ["ENCODING=UTF-8"]), "from-shapefile.12da", ()),
        ]
        for source, out, options in cases:
            with self.subTest(out=out):
                self.check_read_back(self.write(source, out, *options), source)

    def test_text_and_archive_layout(self):
        gpkg = self.source("GPKG", "layout.gpkg", {"breaklines": FEATURES})
        plain = self.write(gpkg, "layout.12da")
        with open(plain, "rb") as f:
            data = f.read()
        self.assertTrue(data.startswith(b"\xef\xbb\xbfnull -999\n"), data[:40])
        self.assertNotIn(b"\r", data)
        text = data.decode("utf-8-sig")
        self.assertIn('name      "Kerb Łódź"', text)
        self.assertIn('text    "kind" "kerb \\"lip\\""', text)
        self.assertIn('group {\n      name "Asset"', text)

        archive = self.write(gpkg, "layout.12daz", "-dsco", "ENCODING=UTF-16")
        r = run("unzip", "-tq", archive)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        with zipfile.ZipFile(archive) as z:
            self.assertIsNone(z.testzip())
            [member] = z.infolist()
            self.assertEqual(member.filename, "layout.12da")
            data16 = z.read(member)
        self.assertTrue(data16.startswith(b"\xff\xfe"))
        text16 = data16[2:].decode("utf-16-le")
        self.assertEqual(text16.replace("\r\n", "\n"), text)
        self.assertNotIn("\n", text16.replace("\r\n", ""))

    def test_options_nulls_and_empty_geometries(self):
        src = os.path.join(self.tmp, "options.geojson")
        with open(src, "w", encoding="utf-8") as f:
            f.write('{"type":"FeatureCollection","features":['
                    '{"type":"Feature","properties":{"id":"BL-1","hue":"red","name":"other"},'
                    '"geometry":{"type":"LineString","coordinates":[[0,0,1],[1,1,2]]}},'
                    '{"type":"Feature","properties":{"id":"BL-2"},"geometry":null}]}')
        # A height GDAL holds as NaN is written null.
        ds = gdal.OpenEx(src, gdal.OF_VECTOR)
        mem = gdal.GetDriverByName("Memory").Create("", 0, 0, 0, gdal.GDT_Unknown)
        mem.CopyLayer(ds.GetLayer(0), "options")
        layer = mem.GetLayer(0)
        f = layer.GetNextFeature()
        g = f.GetGeometryRef()
        g.SetPoint(1, 1, 1, NAN)
        f.SetGeometry(g)
        layer.SetFeature(f)
        out = os.path.join(self.tmp, "options.12da")
        with_errors = []
        gdal.PushErrorHandler(lambda level, number, text: with_errors.append(text))
        try:
            gdal.VectorTranslate(out, mem, format="12DA", layerCreationOptions=["NAME_FIELD=id", "COLOUR_FIELD=hue"])
        finally:
            gdal.PopErrorHandler()
        # GeoJSON's coordinates are degrees of WGS 84: 5 decimals of them are told to be coarse.
        self.assertEqual(len(with_errors), 2, with_errors)
        self.assertIn("Layer options is in degrees", with_errors[0])
        self.assertIn("without geometry", with_errors[1])
        with open(out, encoding="utf-8-sig") as f:
            text = f.read()
        self.assertIn('name      "BL-1"', text)
        self.assertIn('colour    "red"', text)
        self.assertIn('text    "name" "other"', text)
        self.assertRegex(text, r"1\.00000 +1\.00000 +null\n")
        # Read back as written: the null height stays null (NaN), not filled.
        back_ds = gdal.OpenEx(out, gdal.OF_VECTOR, open_options=["NULL_HEIGHT=NaN"])
        back = back_ds.GetLayer(0)
        self.assertEqual(back.GetFeatureCount(), 1)
        f = back.GetNextFeature()
        self.assertEqual(f.GetField("attributes/name"), "other")
        z = [p[2] for p in f.GetGeometryRef().GetPoints()]
        self.assertEqual(z[0], 1.0)
        self.assertTrue(math.isnan(z[1]))

    def test_converter_reads_what_the_driver_writes(self):
        if not VELMORAK:
            self.skipTest("no converter given")
        # Lines and rings: how the converter takes a one-vertex string is its own business.
        lines = [f for f in FEATURES if not f[1].startswith("POINT")]
        gpkg = self.source("GPKG", "for-converter.gpkg", {"breaklines": lines})
        folder = os.path.join(self.tmp, "converter")
        os.makedirs(folder, exist_ok=True)
        target = self.write(gpkg, os.path.join("converter", "site.12da"))
        strings = sum(len(parts(ogr.CreateGeometryFromWkt(wkt))) for _, wkt, _ in lines)
        three_d = sum(len(parts(ogr.CreateGeometryFromWkt(wkt))) for _, wkt, _ in lines if " Z " in wkt)
        r = run(VELMORAK, "site.12da", cwd=folder, input="\n" * 10)
        self.assertEqual(r.returncode, 0, r.stdout)
        self.assertIn(f"Converted {strings} string objects and ignored 0", r.stdout)
        r = run(VELMORAK, "site.12da", "-xs", cwd=folder, input="\n" * 10)
        self.assertEqual(r.returncode, 0, r.stdout)
        csv = [n for n in os.listdir(folder) if n.endswith(".csv")]
        self.assertEqual(len(csv), three_d, r.stdout)
        self.assertTrue(os.path.exists(target + ".Lines.mif"))


    def test_crs_and_style_colour(self):
        """The layers' CRS goes to <output>.prj and reads back; a CRS in degrees and a second CRS are
        told; a feature's style gives the string's colour where the layer has no colour field."""
        def srs_of(code):
            srs = osr.SpatialReference()
            srs.ImportFromEPSG(code)
            return srs

        # Each row: the layers (name, EPSG code or None, [(style string, colour field or None)]),
        # the CRS the written file reads back in, the warnings, and the colours read back.
        rows = [
            ("projected", [("L", 28356, [("PEN(c:#FF0000)", None), ("BRUSH(fc:#0000fe)", None)])],
             28356, [], ["red", "blue"]),
            ("colour field first", [("L", None, [("PEN(c:#FF0000)", "green")])], None, [], ["green"]),
            ("nearest colour", [("L", None, [("PEN(c:#F08000,w:2pt)", None), ("LABEL(t:\"x\")", None)])],
             None, [], ["orange", None]),
            ("degrees", [("L", 4326, [(None, None)])], 4326, ["Layer L is in degrees:"], [None]),
            ("two CRSs", [("A", 28356, [(None, None)]), ("B", 28355, [(None, None)])], 28356,
             ["Layer B is in another CRS than the layers before it"], [None, None]),
        ]
        for row, layers, crs, warnings, colours in rows:
            with self.subTest(row=row):
                out = os.path.join(self.tmp, "crs-" + row.replace(" ", "-") + ".12da")
                mem = gdal.GetDriverByName("Memory").Create("", 0, 0, 0, gdal.GDT_Unknown)
                for name, code, features in layers:
                    layer = mem.CreateLayer(name, srs_of(code) if code else None, ogr.wkbLineString)
                    layer.CreateField(ogr.FieldDefn("name", ogr.OFTString))
                    if any(colour for _, colour in features):
                        layer.CreateField(ogr.FieldDefn("colour", ogr.OFTString))
                    for i, (style, colour) in enumerate(features):
                        f = ogr.Feature(layer.GetLayerDefn())
                        f.SetField("name", "S%d" % i)
                        if colour:
                            f.SetField("colour", colour)
                        if style:
                            f.SetStyleString(style)
                        f.SetGeometry(ogr.CreateGeometryFromWkt("LINESTRING (0 0,1 1)"))
                        layer.CreateFeature(f)
                messages = []
                gdal.PushErrorHandler(lambda level, number, text: messages.append(text))
                try:
                    gdal.VectorTranslate(out, mem, format="12DA")
                finally:
                    gdal.PopErrorHandler()
                self.assertEqual(len(messages), len(warnings), messages)
                for m, w in zip(messages, warnings):
                    self.assertIn(w, m)
                self.assertEqual(os.path.exists(out + ".prj"), crs is not None)
                back = gdal.OpenEx(out, gdal.OF_VECTOR)
                srs = back.GetLayer(0).GetSpatialRef()
                if crs is None:
                    self.assertIsNone(srs)
                else:
                    self.assertTrue(srs is not None and srs.IsSame(srs_of(crs)), srs and srs.ExportToWkt())
                got = [f.GetField("colour") for i in range(back.GetLayerCount()) for f in back.GetLayer(i)]
                self.assertEqual(got, colours)

    def test_failed_and_interrupted_writes_leave_no_file(self):
        """A write that fails (a file size limit: EFBIG, as a full disk fails it) or that is
        interrupted (the same limit's signal kills ogr2ogr) leaves an earlier file as it was and
        no new one, in the folder and in a .12daz alike."""
        import resource
        import signal

        big = os.path.join(self.tmp, "big.12da")
        with open(big, "w", encoding="utf-8") as f:
            f.write("null -999\nmodel \"big\"\n")
            for k in range(6000):
                f.write('string 3d {\n  name "S%d"\n  data {\n' % k)
                f.write("".join("    %d.%03d 2%05d.5 1%d.25\n" % (1000 + k, v, v, v % 9) for v in range(30)))
                f.write("  }\n}\n")

        def limited(ignore_signal):
            def start():
                if ignore_signal:
                    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                resource.setrlimit(resource.RLIMIT_FSIZE, (300 * 1024, 300 * 1024))
            return start

        earlier_text = b"\xef\xbb\xbfnull -999\nmodel \"earlier\"\nstring 2d {\n  data {\n    0 0\n    1 1\n  }\n}\n"
        rows = [
            # row, output name, an earlier file there, the signal ignored (the write fails) or not (killed)
            ("failed write over an earlier .12da", "x.12da", True, True),
            ("failed write, no earlier file", "x.12da", False, True),
            ("failed write over an earlier .12daz", "x.12daz", True, True),
            ("interrupted write over an earlier .12da", "x.12da", True, False),
            ("interrupted write, no earlier file", "x.12da", False, False),
        ]
        for row, name, earlier, fails in rows:
            with self.subTest(row=row):
                folder = os.path.join(self.tmp, "limited-" + row.replace(" ", "-").replace(".", ""))
                shutil.rmtree(folder, ignore_errors=True)
                os.makedirs(folder)
                target = os.path.join(folder, name)
                if earlier:
                    with open(target, "wb") as f:
                        f.write(earlier_text)
                r = subprocess.run(["ogr2ogr", "-f", "12DA", target, big], capture_output=True, text=True,
                                   preexec_fn=limited(fails))
                if fails:
                    self.assertNotEqual(r.returncode, 0, r.stderr)
                    self.assertIn("ERROR", r.stderr)
                else:
                    self.assertEqual(r.returncode, -signal.SIGXFSZ, r.stderr)
                left = sorted(os.listdir(folder))
                if earlier:
                    with open(target, "rb") as f:
                        self.assertEqual(f.read(), earlier_text)
                else:
                    self.assertNotIn(name, left)
                if fails:
                    # A failed write removes what it wrote; a killed one may leave its temporary,
                    # under a name no reader takes for the file.
                    self.assertEqual(left, [name] if earlier else [])
        # GDAL deletes a file before it creates one of the same name: the driver's Delete
        # waits for that; asked on its own, the file is gone once the driver is used again.
        doomed = self.write(big, "doomed.12da")
        self.assertEqual(gdal.GetDriverByName("12DA").Delete(doomed), 0)
        with self.assertRaises(RuntimeError):
            gdal.OpenEx(doomed, gdal.OF_VECTOR)
        self.assertFalse(os.path.exists(doomed))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
