"""The 12DA driver reading 12d ASCII through GDAL, end to end.

One table of small files, each opened through GDAL's Python bindings with the
plugin the build made (GDAL_DRIVER_PATH): layers, feature counts, geometry
types, coordinates and field values. Then the ogr2ogr round trips to a
GeoPackage of a terrain-package export (plain, and as a UTF-16LE .12daz), the
real-world files, and the installed plugin.

Run by CTest: read_test.py <shared-data-folder> <install-prefix-or-empty>.
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
SHARED = sys.argv[1] if len(sys.argv) > 1 else ""
INSTALLED_PLUGIN_DIR = sys.argv[2] if len(sys.argv) > 2 else ""
NAN = float("nan")

# ---------------------------------------------------------------- the table
#
# Each case: a file's text, and per layer (in order) its feature count,
# geometry type and features: fid, geometry (WKT type and vertices) and the
# fields expected set (every other field must be null). A null height among
# real ones is filled along the string (NULL_HEIGHT=INTERPOLATE, the default),
# and the layers that hold such strings count the heights filled in each.

CASES = [
    (
        "kinds.12da",
        """null -999
model "Survey"
string 3d {
  name "A1"
  data {
    10 20 1.5
    11 21 -999
    12 22 2.5
  }
}
string 2d {
  name "Kerb"
  z 12.5
  data {
    30 40
    31 41
  }
}
string 2d {
  name "Flat"
  data {
    50 60
    51 61
  }
}
string polyline {
  name "Ring"
  data {
    0 0 5
    10 0 6
    10 10 7
  }
}
string super {
  name "Spot"
  data_3d {
    100 200 3.25
  }
}
string interface {
  name "Daylight"
  data {
    1 2 3 -1
    4 5 6 1
  }
}
""",
        [
            ("Survey", 6, ogr.GT_SetZ(ogr.wkbUnknown), [
                (1, "LINESTRING", [(10, 20, 1.5), (11, 21, 2.0), (12, 22, 2.5)],
                 {"name": "A1", "type": "3d", "closed": 0, "null_heights": 1}),
                (2, "LINESTRING", [(30, 40, 12.5), (31, 41, 12.5)],
                 {"name": "Kerb", "type": "2d", "closed": 0, "null_heights": 0}),
                (3, "LINESTRING", [(50, 60), (51, 61)], {"name": "Flat", "type": "2d", "closed": 0, "null_heights": 0}),
                (4, "LINESTRING", [(0, 0, 5), (10, 0, 6), (10, 10, 7), (0, 0, 5)],
                 {"name": "Ring", "type": "polyline", "closed": 1, "null_heights": 0}),
                (5, "POINT", [(100, 200, 3.25)], {"name": "Spot", "type": "super", "closed": 0, "null_heights": 0}),
                (6, "LINESTRING", [(1, 2, 3), (4, 5, 6)],
                 {"name": "Daylight", "type": "interface", "closed": 0, "null_heights": 0}),
            ]),
        ],
    ),
    (
        "models.12da",
        """string 2d {
  name "Before"
  z 1
  data { 1 1 }
}
model "Roads"
string super {
  name "R1"
  data_2d {
    0 0
    5 5
  }
}
model "Lots"
string arc {
  name "Cul-de-sac"
  xcentre 5 ycentre 5 zcentre 1
  radius 3
}
string super {
  name "L1"
  closed 1
  data_2d {
    0 0
    4 0
    4 4
  }
}
model "Roads"
string super {
  name "R2"
  data_3d {
    9 9 null
    8 8 2
  }
}
""",
        [
            ("models", 1, ogr.wkbPoint25D, [(1, "POINT", [(1, 1, 1)], {"name": "Before", "type": "2d", "closed": 0})]),
            ("Roads", 2, ogr.wkbLineString25D, [
                (2, "LINESTRING", [(0, 0), (5, 5)], {"name": "R1", "type": "super", "closed": 0, "null_heights": 0}),
                (5, "LINESTRING", [(9, 9, 2), (8, 8, 2)],
                 {"name": "R2", "type": "super", "closed": 0, "null_heights": 1}),
            ]),
            # The arc string of centre and radius alone is a circle, clockwise from the east: two arcs.
            ("Lots", 2, ogr.wkbCompoundCurveZ, [
                (3, "COMPOUNDCURVE", [(8, 5, 1), (5, 2, 1), (2, 5, 1), (5, 8, 1), (8, 5, 1)],
                 {"name": "Cul-de-sac", "type": "arc", "closed": 1}),
                (4, "COMPOUNDCURVE", [(0, 0), (4, 0), (4, 4), (0, 0)], {"name": "L1", "type": "super", "closed": 1}),
            ]),
        ],
    ),
    (
        "fields.12da",
        """null null
model "Water"
string super {
  name      "WM \\"150\\""
  chainage  12.5
  breakline line
  colour    "light blue"
  style     "WATR Main"
  attributes {
    text    "Owner"    "Coliban {Water}"
    integer "Valves"   3
    real    "Diameter" 0.15
    text    "name"     "shadowed"
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
    1 2 3
    4 5 null
  }
  vertex_attribute_data {
    attributes { text "Fitting" "Hydrant" }
  }
}
string super {
  name "WM 151"
  breakline point
  colour red
  attributes {
    real    "Valves"   2.5
    integer "Diameter" 1
    text Tin "Natural"
  }
  data_2d {
    7 8
    9 10
  }
}
""",
        [
            ("Water", 2, ogr.wkbLineString25D, [
                (1, "LINESTRING", [(1, 2, 3), (4, 5, 3)], {
                    "name": 'WM "150"', "type": "super", "colour": "light blue", "style": "WATR Main",
                    "breakline": "line", "chainage": 12.5, "closed": 0, "null_heights": 1, "Owner": "Coliban {Water}",
                    "Valves": 3.0, "Diameter": 0.15, "attributes/name": "shadowed", "Asset/Class": "A",
                    "Asset/Survey/Method": "GNSS // RTK"}),
                (2, "LINESTRING", [(7, 8), (9, 10)], {
                    "name": "WM 151", "type": "super", "colour": "red", "breakline": "point", "closed": 0,
                    "null_heights": 0, "Valves": 2.5, "Diameter": 1.0, "Tin": "Natural"}),
            ]),
        ],
    ),
    (
        "alignments.12da",
        """model "Design"
string super_alignment {
  name "MC01"
  horizontal_data {
    name "MC01"
    data_2d {
      0 0
      100 50
    }
  }
  vertical_data {
    data_2d {
      0 30
      120 33
    }
  }
}
string alignment {
  name "AL"
  hipdata {
    0 0 0
    100 0 40
    150 100 0
  }
  vipdata {
    0 30 0
  }
}
string las_cloud_data {
  name "cloud"
  data {
    format v10_p0
  }
}
string super {
  name "after"
  data_2d { 1 1 2 2 }
}
""",
        [
            ("Design", 3, ogr.wkbUnknown, [
                (1, "LINESTRING", [(0, 0), (100, 50)], {"name": "MC01", "type": "super_alignment", "closed": 0}),
                (2, "LINESTRING", [(0, 0), (100, 0), (150, 100)], {"name": "AL", "type": "alignment", "closed": 0}),
                (4, "POINT", [(1, 1)], {"name": "after", "type": "super", "closed": 0}),
            ]),
        ],
    ),
    (
        # Null heights filled along the plan length: between real ones, before
        # the first and after the last; none in a string of nulls only; the
        # earlier height where both neighbours stand on one spot.
        "gaps.12da",
        """null -999
model "Gaps"
string 3d {
  name "middle"
  data {
    0 0 10
    3 4 -999
    6 8 -999
    9 12 16
  }
}
string 3d {
  name "ends"
  data {
    0 0 -999
    1 0 5
    2 0 7
    3 0 -999
    4 0 null
  }
}
string 3d {
  name "none"
  data {
    0 0 -999
    1 1 -999
  }
}
string 3d {
  name "one spot"
  data {
    5 5 1
    5 5 -999
    5 5 3
  }
}
model "Whole"
string 3d {
  name "whole"
  data {
    0 0 1
    1 0 2
  }
}
""",
        [
            ("Gaps", 4, ogr.wkbLineString25D, [
                (1, "LINESTRING", [(0, 0, 10), (3, 4, 12), (6, 8, 14), (9, 12, 16)],
                 {"name": "middle", "type": "3d", "closed": 0, "null_heights": 2}),
                (2, "LINESTRING", [(0, 0, 5), (1, 0, 5), (2, 0, 7), (3, 0, 7), (4, 0, 7)],
                 {"name": "ends", "type": "3d", "closed": 0, "null_heights": 3}),
                (3, "LINESTRING", [(0, 0), (1, 1)], {"name": "none", "type": "3d", "closed": 0, "null_heights": 0}),
                (4, "LINESTRING", [(5, 5, 1), (5, 5, 1), (5, 5, 3)],
                 {"name": "one spot", "type": "3d", "closed": 0, "null_heights": 1}),
            ]),
            # A layer without gaps has no count.
            ("Whole", 1, ogr.wkbLineString25D, [
                (5, "LINESTRING", [(0, 0, 1), (1, 0, 2)], {"name": "whole", "type": "3d", "closed": 0}),
            ]),
        ],
    ),
]

# Field types the "fields" case must give: integers and reals meeting in one field make it Real.
FIELD_TYPES = {"Owner": ogr.OFTString, "Valves": ogr.OFTReal, "Diameter": ogr.OFTReal,
               "Asset/Class": ogr.OFTString, "chainage": ogr.OFTReal, "closed": ogr.OFTInteger,
               "null_heights": ogr.OFTInteger}


def vertices(geom):
    if geom.GetGeometryType() in (ogr.wkbPoint, ogr.wkbPoint25D):
        pts = [geom.GetPoint(0)]
    elif geom.GetGeometryCount() > 0:
        # A compound curve: its parts' points, each junction once.
        pts = []
        for i in range(geom.GetGeometryCount()):
            part = geom.GetGeometryRef(i).GetPoints()
            pts += part[1:] if pts else part
    else:
        pts = geom.GetPoints()
    return [p if geom.Is3D() else p[:2] for p in pts]


def same_number(a, b, tolerance=1e-9):
    if isinstance(a, float) and math.isnan(a):
        return isinstance(b, float) and math.isnan(b)
    return abs(a - b) <= tolerance


class Errors:
    """Collects GDAL's messages while a block runs."""

    def __enter__(self):
        self.messages = []
        gdal.PushErrorHandler(lambda level, number, text: self.messages.append((level, text)))
        return self

    def __exit__(self, *exc):
        gdal.PopErrorHandler()
        return False


class ReadTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="velmorak-gdal-")
        cls.driver = ogr.GetDriverByName("12DA")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def write(self, name, text, encoding="utf-8"):
        path = os.path.join(self.tmp, name)
        with open(path, "wb") as f:
            f.write(text.encode(encoding))
        return path

    def check_feature(self, layer, feature, expected):
        fid, kind, coords, fields = expected
        where = f"{layer.GetName()} fid {fid}"
        self.assertEqual(feature.GetFID(), fid, where)
        geom = feature.GetGeometryRef()
        self.assertEqual(geom.GetGeometryName(), kind, where)
        got = vertices(geom)
        self.assertEqual(len(got), len(coords), f"{where}: {got}")
        self.assertEqual(geom.Is3D(), len(coords[0]) == 3, f"{where}: {got}")
        for g, e in zip(got, coords):
            self.assertTrue(all(same_number(a, b) for a, b in zip(e, g)), f"{where}: {got} against {coords}")
        defn = layer.GetLayerDefn()
        for i in range(defn.GetFieldCount()):
            name = defn.GetFieldDefn(i).GetName()
            if name in fields:
                self.assertEqual(feature.GetField(i), fields[name], f"{where}: field {name}")
            else:
                self.assertFalse(feature.IsFieldSetAndNotNull(i), f"{where}: field {name} = {feature.GetField(i)}")

    def test_table(self):
        for name, text, layers in CASES:
            with self.subTest(file=name):
                path = self.write(name, text)
                with Errors() as errors:
                    ds = gdal.OpenEx(path, gdal.OF_VECTOR)
                    self.assertEqual(ds.GetDriver().ShortName, "12DA")
                    self.assertEqual([ds.GetLayer(i).GetName() for i in range(ds.GetLayerCount())],
                                     [l[0] for l in layers])
                    for layer_name, count, geom_type, features in layers:
                        layer = ds.GetLayerByName(layer_name)
                        self.assertEqual(layer.GetFeatureCount(), count, layer_name)
                        self.assertEqual(layer.GetGeomType(), geom_type, layer_name)
                        # Twice over, to see ResetReading start again.
                        for _ in range(2):
                            layer.ResetReading()
                            got = [f for f in layer]
                            self.assertEqual(len(got), len(features), layer_name)
                            for f, e in zip(got, features):
                                self.check_feature(layer, f, e)
                        # By string number, backwards, across layers.
                        for e in reversed(features):
                            self.check_feature(layer, layer.GetFeature(e[0]), e)
                    if name == "fields.12da":
                        defn = ds.GetLayer(0).GetLayerDefn()
                        for field, kind in FIELD_TYPES.items():
                            self.assertEqual(defn.GetFieldDefn(defn.GetFieldIndex(field)).GetType(), kind, field)
                self.assertEqual(errors.messages, [])

    def test_counts_extents_and_filters(self):
        ds = gdal.OpenEx(self.write("models.12da", CASES[1][1]), gdal.OF_VECTOR)
        roads = ds.GetLayerByName("Roads")
        self.assertEqual(roads.GetExtent(), (0.0, 9.0, 0.0, 9.0))
        self.assertTrue(roads.TestCapability(ogr.OLCFastFeatureCount))
        self.assertIsNone(roads.GetFeature(4))  # string 4 lies in "Lots"
        self.assertIsNone(roads.GetFeature(3))  # the arc lies in "Lots"
        roads.SetSpatialFilterRect(7, 7, 10, 10)
        self.assertEqual([f.GetFID() for f in roads], [5])
        self.assertEqual(roads.GetFeatureCount(), 1)
        roads.SetSpatialFilter(None)
        roads.SetAttributeFilter("name = 'R1'")
        self.assertEqual([f.GetFID() for f in roads], [2])
        roads.SetAttributeFilter(None)
        # A null height filled by default, kept as NaN, or read as a number of
        # the caller's; only filling counts the heights filled.
        self.assertEqual(roads.GetMetadataItem("NULL_HEIGHT"), "INTERPOLATE")
        for option, metadata, z in [("NULL_HEIGHT=interpolate", "INTERPOLATE", 2.0), ("NULL_HEIGHT=NaN", "NaN", NAN),
                                    ("NULL_HEIGHT=nan", "NaN", NAN), ("NULL_HEIGHT=-999", "-999", -999.0)]:
            with self.subTest(option=option):
                opened = gdal.OpenEx(self.write("models.12da", CASES[1][1]), gdal.OF_VECTOR, open_options=[option])
                layer = opened.GetLayerByName("Roads")
                self.assertEqual(layer.GetMetadataItem("NULL_HEIGHT"), metadata)
                r2 = layer.GetFeature(5)
                points = r2.GetGeometryRef().GetPoints()
                self.assertTrue(same_number(points[0][2], z), points)
                self.assertEqual(points[1], (8.0, 8.0, 2.0))
                self.assertEqual(layer.GetLayerDefn().GetFieldIndex("null_heights") >= 0, metadata == "INTERPOLATE")
        with Errors():
            with self.assertRaises(RuntimeError):
                gdal.OpenEx(self.write("models.12da", CASES[1][1]), gdal.OF_VECTOR, open_options=["NULL_HEIGHT=high"])
        # Two layers read in turn share one reader.
        lots = ds.GetLayerByName("Lots")
        roads.ResetReading()
        lots.ResetReading()
        self.assertEqual(roads.GetNextFeature().GetFID(), 2)
        self.assertEqual(lots.GetNextFeature().GetFID(), 3)
        self.assertEqual(roads.GetNextFeature().GetFID(), 5)
        self.assertEqual(lots.GetNextFeature().GetFID(), 4)
        self.assertIsNone(lots.GetNextFeature())
        self.assertIsNone(roads.GetNextFeature())

    def test_encodings_and_content(self):
        text = 'null -999\r\nmodel "Łódź"\r\nstring super {\r\n  name "Straße 測量"\r\n  data_2d {\r\n    1 2\r\n    3 4\r\n  }\r\n}\r\n'
        for name, data in [("utf16.12da", b"\xff\xfe" + text.encode("utf-16-le")),
                           ("utf8bom.4da", b"\xef\xbb\xbf" + text.encode("utf-8")),
                           ("by-content.txt", text.encode("utf-8"))]:
            with self.subTest(file=name):
                path = os.path.join(self.tmp, name)
                with open(path, "wb") as f:
                    f.write(data)
                ds = gdal.OpenEx(path, gdal.OF_VECTOR)
                self.assertEqual(ds.GetDriver().ShortName, "12DA")
                layer = ds.GetLayer(0)
                self.assertEqual(layer.GetName(), "Łódź")
                self.assertEqual(layer.GetNextFeature().GetField("name"), "Straße 測量")
        # A file without a byte order mark whose text is not UTF-8 was written
        # in Windows-1252: its model (the layer), attribute names (the fields)
        # and values all come as UTF-8.
        path = os.path.join(self.tmp, "cp1252.12da")
        with open(path, "wb") as f:
            f.write('model "Café"\nstring super {\n  name "Pré"\n  attributes { text "Propriétaire" "Élan €" }\n'
                    '  data_2d {\n    1 2\n    3 4\n  }\n}\n'.encode("cp1252"))
        ds = gdal.OpenEx(path, gdal.OF_VECTOR)
        layer = ds.GetLayer(0)
        self.assertEqual(layer.GetName(), "Café")
        f = layer.GetNextFeature()
        self.assertEqual((f.GetField("name"), f.GetField("Propriétaire")), ("Pré", "Élan €"))
        # Other text is not taken for 12d ASCII.
        other = self.write("other.txt", "name,x,y\nA,1,2\n")
        with Errors():
            self.assertIsNone(ogr.GetDriverByName("12DA").Open(other))

    def test_damaged_file_reports_its_line(self):
        path = self.write("damaged.12da", 'model "m"\nstring 3d {\n  data {\n    1 2 3\n  }\n}\n'
                                          'string 3d {\n  data {\n    1 2 3\n    4 five 6\n  }\n}\n')
        with Errors() as errors:
            ds = gdal.OpenEx(path, gdal.OF_VECTOR)
            layer = ds.GetLayer(0)
            self.assertEqual(layer.GetFeatureCount(), 1)
            self.assertEqual([f.GetFID() for f in layer], [1])
        self.assertTrue(any("line 10" in text and "4 five 6" in text for _, text in errors.messages),
                        errors.messages)

    def export(self, source, *args):
        out = os.path.join(self.tmp, os.path.basename(source) + ".gpkg")
        if os.path.exists(out):
            os.remove(out)
        run = subprocess.run(["ogr2ogr", "-f", "GPKG", out, source, *args], capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stderr, "")
        return out

    def test_round_trip_to_geopackage(self):
        source = os.path.join(SHARED, "data", "12d-exports", "super_strings.12da")
        if not os.path.exists(source):
            self.skipTest(f"{source} is not there")
        with open(source, "rb") as f:
            text = f.read().decode("utf-8").replace("\r\n", "\n").replace("\n", "\r\n")
        archive = os.path.join(self.tmp, "super_strings_utf16.12daz")
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("SURVEY Water.12da", b"\xff\xfe" + text.encode("utf-16-le"))
        for path in (source, archive):
            with self.subTest(file=os.path.basename(path)):
                gpkg = gdal.OpenEx(self.export(path), gdal.OF_VECTOR)
                # A layer name holds no path: the model "SURVEY/Water" is the layer SURVEY_Water.
                layer = gpkg.GetLayerByName("SURVEY_Water")
                self.assertIsNotNone(layer)
                self.assertEqual(layer.GetFeatureCount(), 1)
                f = layer.GetNextFeature()
                self.assertEqual(f.GetField("name"), "WM 150")
                self.assertEqual(f.GetField("colour"), "light blue")
                self.assertEqual(f.GetField("style"), "WATR Main")
                self.assertEqual(f.GetField("Asset/Owner"), "Coliban Water")
                self.assertEqual(f.GetField("Asset/Diameter"), 0.15)
                self.assertEqual(f.GetField("Asset/Survey/Method"), "GNSS {RTK}")
                self.assertEqual(f.GetField("string id"), 48213)
                got = vertices(f.GetGeometryRef())
                # The null height between 212.512 and 212.877, interpolated along the plan length.
                want = [(321104.512, 5812290.338, 212.406), (321128.09, 5812301.771, 212.512),
                        (321151.733, 5812313.204, 212.69736749048982), (321170.006, 5812330.918, 212.877)]
                self.assertEqual(f.GetField("null_heights"), 1)
                # The second segment is an arc (radius_data -35.5): the CircularString of a compound
                # curve between straight runs, through its midpoint at the mean of its ends' heights.
                g = f.GetGeometryRef()
                self.assertEqual([g.GetGeometryRef(i).GetGeometryName() for i in range(g.GetGeometryCount())],
                                 ["LINESTRING", "CIRCULARSTRING", "LINESTRING"])
                self.assertEqual(len(got), 5)
                self.assertTrue(same_number(got[2][2], (212.512 + 212.69736749048982) / 2, 1e-6), got)
                got = got[:2] + got[3:]
                for g, e in zip(got, want):
                    self.assertTrue(all(same_number(a, b, 1e-6) for a, b in zip(e, g)), got)

    def test_shapefile_of_the_example(self):
        # A shapefile holds no NaN height: the example's null height, filled by
        # default, reaches it as the height between its neighbours.
        source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "site.12da")
        out = os.path.join(self.tmp, "site-shp")
        shutil.rmtree(out, ignore_errors=True)
        run = subprocess.run(["ogr2ogr", "-f", "ESRI Shapefile", out, source], capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        shp = ogr.Open(os.path.join(out, "creek_reach.shp"))
        f = shp.GetLayer(0).GetNextFeature()
        self.assertEqual(f.GetField("null_heigh"), 1)  # the shapefile's ten letters
        z = [p[2] for p in f.GetGeometryRef().GetPoints()]
        self.assertTrue(12.91 < z[2] < 13.05, z)

    def test_real_world_files_open_cleanly(self):
        folder = os.path.join(SHARED, "data", "realworld", "12da")
        if not os.path.isdir(folder):
            self.skipTest(f"{folder} is not there")
        for name in sorted(os.listdir(folder)):
            with self.subTest(file=name):
                with Errors() as errors:
                    # The TIN layers left out: they are counted in TinTest.
                    ds = gdal.OpenEx(os.path.join(folder, name), gdal.OF_VECTOR, open_options=["TIN_GEOMETRY=NONE"])
                    total = 0
                    for i in range(ds.GetLayerCount()):
                        layer = ds.GetLayer(i)
                        n = sum(1 for _ in layer)
                        self.assertEqual(n, layer.GetFeatureCount(), layer.GetName())
                        total += n
                self.assertEqual(errors.messages, [])
                # Only the files of TINs hold no string.
                self.assertEqual(total == 0, name in ("katana_multiple_tins.12da", "katana_super_tin.12da"), total)

    def test_installed_plugin(self):
        if not INSTALLED_PLUGIN_DIR:
            self.skipTest("no installed plugin given")
        source = self.write("installed.12da", CASES[1][1])
        env = dict(os.environ, GDAL_DRIVER_PATH=INSTALLED_PLUGIN_DIR)
        run = subprocess.run(["ogrinfo", "-ro", "-al", "-so", source], capture_output=True, text=True, env=env)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("using driver `12DA' successful", run.stdout)
        self.assertIn("Layer name: Roads", run.stdout)
        self.assertIn("Feature Count: 2", run.stdout)


    def test_layer_names_crs_and_styles(self):
        """Layer names that no writer takes for a path; the CRS from the SRS option, a .prj or a
        Header.mif beside the file, in that order; the 12d colour as an OGR style string."""
        def string(name, colour):
            return "string 2d {\n  name \"%s\"\n%s  data {\n    0 0\n    1 1\n  }\n}\n" % (
                name, "  colour %s\n" % colour if colour else "")

        text = ("null -999\n" + 'model "../../evilmodel"\n' + string("A", "red") + 'model "SURVEY/Water"\n' +
                string("B", '"Light_Blue"') + 'model "a\\\\b"\n' + string("C", "3") + 'model "..lane"\n' +
                string("D", '"#12ab34"') + 'model "ok.name"\n' + string("E", "chartreuse") + string("F", None))
        layers = [("__.._evilmodel", "../../evilmodel", "PEN(c:#FF0000)"),
                  ("SURVEY_Water", "SURVEY/Water", "PEN(c:#ADD8E6)"),
                  ("a_b", "a\\b", "PEN(c:#0000FF)"),
                  ("_lane", "..lane", "PEN(c:#12AB34)"),
                  ("ok.name", "ok.name", None)]
        folder = os.path.join(self.tmp, "names")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "evil.12da")
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        ds = gdal.OpenEx(path, gdal.OF_VECTOR)
        self.assertEqual([ds.GetLayer(i).GetName() for i in range(ds.GetLayerCount())], [l[0] for l in layers])
        for name, model, style in layers:
            layer = ds.GetLayerByName(name)
            self.assertEqual(layer.GetMetadataItem("MODEL"), model, name)
            self.assertEqual([f.GetStyleString() for f in layer], [style] * layer.GetFeatureCount(), name)
        ds = None
        # GDAL's MapInfo writer takes layer names as file names: everything stays in out/.
        work = os.path.join(folder, "a", "b")
        os.makedirs(work, exist_ok=True)
        r = subprocess.run(["ogr2ogr", "-f", "MapInfo File", "out", path], cwd=work, capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        written = sorted(os.path.relpath(os.path.join(d, n), folder) for d, _, names in os.walk(folder) for n in names)
        self.assertEqual([w for w in written if not w.startswith(os.path.join("a", "b", "out") + os.sep)],
                         ["evil.12da"])
        self.assertIn(os.path.join("a", "b", "out", "__.._evilmodel.tab"), written)

        # The CRS: each row a set of files beside site.12da, the open options, and the CRS
        # expected (an EPSG code, or a parameter of the Header.mif's projection), or None.
        def esri(code):
            srs = osr.SpatialReference()
            srs.ImportFromEPSG(code)
            return srs.ExportToWkt(["FORMAT=WKT1_ESRI"])

        with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, "examples",
                               "Header.mif"), encoding="latin-1") as f:
            header = f.read()  # CoordSys Earth Projection 8 ... central meridian 153
        crs_rows = [
            ("none", {}, [], None),
            ("option", {}, ["SRS=EPSG:28356"], 28356),
            ("option before a .prj", {"site.12da.prj": esri(28355)}, ["SRS=EPSG:28356"], 28356),
            ("site.12da.prj", {"site.12da.prj": esri(28355)}, [], 28355),
            ("site.prj", {"site.prj": esri(28354)}, [], 28354),
            ("site.12da.prj before site.prj", {"site.12da.prj": esri(28355), "site.prj": esri(28354)}, [], 28355),
            ("a .prj before Header.mif", {"site.prj": esri(28354), "Header.mif": header}, [], 28354),
            ("Header.mif", {"Header.mif": header}, [], "central_meridian=153"),
            ("a .prj GDAL cannot read", {"site.prj": "PROJCS[\"broken"}, [], None),
        ]
        for row, files, options, expected in crs_rows:
            with self.subTest(crs=row):
                where = os.path.join(self.tmp, "crs-" + row.replace(" ", "-"))
                os.makedirs(where, exist_ok=True)
                site = os.path.join(where, "site.12da")
                with open(site, "w", encoding="utf-8") as f:
                    f.write('model "M"\n' + string("S", None))
                for name, content in files.items():
                    with open(os.path.join(where, name), "w", encoding="latin-1") as f:
                        f.write(content)
                with Errors() as errors:
                    ds = gdal.OpenEx(site, gdal.OF_VECTOR, open_options=options)
                    layer = ds.GetLayer(0)
                    srs = layer.GetSpatialRef()
                    feature = layer.GetNextFeature()
                    geom_srs = feature.GetGeometryRef().GetSpatialReference()
                if expected is None:
                    self.assertIsNone(srs)
                    self.assertIsNone(geom_srs)
                else:
                    self.assertIsNotNone(srs)
                    self.assertTrue(geom_srs is not None and geom_srs.IsSame(srs))
                    self.assertEqual(srs.GetDataAxisToSRSAxisMapping(), [1, 2])
                    if isinstance(expected, int):
                        wanted = osr.SpatialReference()
                        wanted.ImportFromEPSG(expected)
                        self.assertTrue(srs.IsSame(wanted), srs.ExportToWkt())
                    else:
                        key, value = expected.split("=")
                        self.assertEqual(srs.GetProjParm(key), float(value), srs.ExportToWkt())
                self.assertEqual([m for m in errors.messages if m[0] != gdal.CE_Debug],
                                 [(gdal.CE_Warning, os.path.join(where, "site.prj") + " holds no coordinate reference "
                                   "system GDAL can read; it is passed over.")] if row.startswith("a .prj GDAL") else [])
        with self.assertRaisesRegex(RuntimeError, "SRS=nonsense: not a coordinate reference system"):
            gdal.OpenEx(site, gdal.OF_VECTOR, open_options=["SRS=nonsense"])

    def test_arcs(self):
        """Arc and circle strings, radius_data and geometry_data as circular arcs: through the
        right midpoint (a positive radius runs clockwise), densified within the tolerance, or as chords."""
        def circle_of(p0, mid, p1):
            # The centre and radius of the circle through three points.
            # Taken about the first point: survey coordinates squared lose the digits wanted.
            (ax, ay), (bx, by), (cx, cy) = (0.0, 0.0), (mid[0] - p0[0], mid[1] - p0[1]), (p1[0] - p0[0], p1[1] - p0[1])
            d = 2 * (ax * (by - cy) + bx * (cy - ay) + cx * (ay - by))
            ux = ((ax * ax + ay * ay) * (by - cy) + (bx * bx + by * by) * (cy - ay) + (cx * cx + cy * cy) * (ay - by)) / d
            uy = ((ax * ax + ay * ay) * (cx - bx) + (bx * bx + by * by) * (ax - cx) + (cx * cx + cy * cy) * (bx - ax)) / d
            return ux + p0[0], uy + p0[1], math.hypot(ux, uy)

        def super_string(block):
            return "string super {\n  name \"S\"\n  data_2d {\n    0 0\n    14 0\n  }\n%s}\n" % block

        sagitta = 10 - math.sqrt(100 - 49)  # of R = 10 over a 14 m chord: 2.86 m
        # Each row: a string, and the arc's midpoint on a chord from (0 0) to (14 0).
        rows = [
            ("radius_data, clockwise", super_string("  radius_data { 10 0 }\n"), (7, sagitta)),
            ("radius_data, anticlockwise", super_string("  radius_data { -10 0 }\n"), (7, -sagitta)),
            ("major arc", super_string("  radius_data { 10 0 }\n  major_data { 1 0 }\n"), (7, 20 - sagitta)),
            ("geometry_data", super_string("  geometry_data {\n    arc { radius 10 major 0 }\n  }\n"), (7, sagitta)),
            ("radius too short: a chord", super_string("  radius_data { 6 0 }\n"), None),
            ("arc string", 'string arc {\n  name "A"\n  radius 10\n  xcentre 7 ycentre %r\n'
             '  xstart 0 ystart 0 xend 14 yend 0\n}\n' % (sagitta - 10), (7, sagitta)),
            # A polyline's and a drainage string's vertex lines are "x y z radius bulge" (bulge 1: the major
            # arc); an interface's fourth value is its cut or fill flag, no radius.
            ("polyline radius", 'string polyline {\n  name "P"\n  closed 0\n  data {\n    0 0 5 10 0\n    14 0 5 0 0\n'
             '  }\n}\n', (7, sagitta)),
            ("drainage radius and bulge", 'string drainage {\n  name "D"\n  data {\n    0 0 5 10 1\n    14 0 5 0 0\n'
             '  }\n  pit {\n    x 0 y 0 z 6\n  }\n}\n', (7, 20 - sagitta)),
            ("interface flags", 'string interface {\n  name "I"\n  data {\n    0 0 5 10\n    14 0 5 -1\n  }\n}\n', None),
        ]
        for row, text, mid in rows:
            with self.subTest(row=row):
                path = self.write("arc.12da", "null -999\nmodel \"M\"\n" + text)
                ds = gdal.OpenEx(path, gdal.OF_VECTOR)
                layer = ds.GetLayer(0)
                f = layer.GetNextFeature()
                g = f.GetGeometryRef()
                if mid is None:
                    line = g.GetGeometryRef(0) if g.GetGeometryCount() else g
                    self.assertEqual(line.GetGeometryName(), "LINESTRING")
                    self.assertEqual([p[:2] for p in line.GetPoints()], [(0, 0), (14, 0)])
                    continue
                self.assertEqual(ogr.GT_Flatten(layer.GetGeomType()), ogr.wkbCompoundCurve)
                self.assertEqual(g.GetGeometryCount(), 1)
                arc = g.GetGeometryRef(0)
                self.assertEqual(arc.GetGeometryName(), "CIRCULARSTRING")
                points = arc.GetPoints()
                self.assertEqual(len(points), 3, points)
                self.assertTrue(same_number(points[1][0], mid[0]) and same_number(points[1][1], mid[1]), points)
                ux, uy, r = circle_of(*points)
                self.assertTrue(same_number(r, 10.0), r)
                # The extent holds the arc's bulge, not only its ends, and so does a spatial filter.
                self.assertTrue(same_number(layer.GetExtent()[3 if mid[1] > 0 else 2], mid[1]), layer.GetExtent())
                layer.SetSpatialFilterRect(mid[0] - 0.01, mid[1] - 0.01, mid[0] + 0.01, mid[1] + 0.01)
                self.assertEqual([s.GetFID() for s in layer], [f.GetFID()])
                layer.SetSpatialFilter(None)
                # DENSIFY: points on the circle, no chord further than the tolerance from it; CHORDS: the vertices.
                for tolerance in ("0.01", "0.5"):
                    dense = gdal.OpenEx(path, gdal.OF_VECTOR, open_options=["ARCS=DENSIFY", "ARC_TOLERANCE=" + tolerance])
                    dense_feature = dense.GetLayer(0).GetNextFeature()
                    line = dense_feature.GetGeometryRef()
                    self.assertEqual(line.GetGeometryName(), "LINESTRING")
                    pts = line.GetPoints()
                    self.assertGreater(len(pts), 3)
                    for p in pts:
                        self.assertTrue(same_number(math.hypot(p[0] - ux, p[1] - uy), 10.0, 1e-7), p)
                    for a, b in zip(pts, pts[1:]):
                        half = math.hypot(b[0] - a[0], b[1] - a[1]) / 2
                        self.assertLessEqual(10 - math.sqrt(100 - half * half), float(tolerance) + 1e-9)
                chords_ds = gdal.OpenEx(path, gdal.OF_VECTOR, open_options=["ARCS=CHORDS"])
                chords = chords_ds.GetLayer(0)
                self.assertEqual(ogr.GT_Flatten(chords.GetGeomType()), ogr.wkbLineString)
                chord = chords.GetNextFeature()
                self.assertEqual([p[:2] for p in chord.GetGeometryRef().GetPoints()], [(0, 0), (14, 0)])
        for option, message in (("ARCS=BENT", "ARCS=BENT: CURVES, DENSIFY or CHORDS is needed."),
                                ("ARC_TOLERANCE=0", "ARC_TOLERANCE=0: a distance above 0 is needed.")):
            with self.subTest(option=option):
                with self.assertRaisesRegex(RuntimeError, message):
                    gdal.OpenEx(path, gdal.OF_VECTOR, open_options=[option])
        # The terrain package's own arcs: a cul-de-sac running clockwise three quarters round from
        # east to north, a tank's circle, and a kerb return of R = 10 over a 14 m chord.
        source = os.path.join(SHARED, "data", "realworld", "12da", "katana_all_geometries_2025.12da")
        if not os.path.exists(source):
            self.skipTest(f"{source} is not there")
        ds = gdal.OpenEx(source, gdal.OF_VECTOR)
        shapes = {}
        for name in ("Geometry Primitives", "Curved Super String", "Legacy Strings"):
            layer = ds.GetLayerByName(name)
            self.assertEqual(layer.GetGeomType(), ogr.wkbCompoundCurveZ, name)
            for f in layer:
                shapes[f.GetField("name")] = [p for i in range(f.GetGeometryRef().GetGeometryCount())
                                              for p in f.GetGeometryRef().GetGeometryRef(i).GetPoints()]
        cul = shapes["Cul-de-sac Arc"]
        self.assertEqual(len(cul), 3)
        self.assertEqual((cul[0], cul[2]), ((502615.0, 6960100.0, 31.0), (502600.0, 6960115.0, 31.5)))
        self.assertTrue(same_number(cul[1][0], 502600 - 15 / math.sqrt(2), 1e-6) and
                        same_number(cul[1][1], 6960100 - 15 / math.sqrt(2), 1e-6), cul)
        tank = shapes["Water Tank Outline"]
        self.assertEqual(len(tank), 5)
        for p, q in zip(tank, [(502658, 6960200), (502650, 6960192), (502642, 6960200), (502650, 6960208),
                               (502658, 6960200)]):
            self.assertTrue(same_number(p[0], q[0], 1e-6) and same_number(p[1], q[1], 1e-6) and p[2] == 32.0, tank)
        # A fence whose first vertex line has the radius 12: an arc over its 20 m first segment.
        fence = shapes["Fence with Arc"]
        self.assertEqual(len(fence), 5)
        self.assertTrue(same_number(circle_of(*fence[:3])[2], 12.0), fence)
        self.assertEqual(fence[3:], [(502920.0, 6960000.0, 30.0), (502940.0, 6960010.0, 30.0)])
        kerb = shapes["Kerb Return KR-01"]
        ux, uy, r = circle_of(*kerb)
        self.assertTrue(same_number(r, 10.0) and same_number(ux, 503810.0) and same_number(uy, 6960000.0), kerb)
        self.assertTrue(same_number(math.hypot(kerb[1][0] - 503805, kerb[1][1] - 6960005), 10 - math.sqrt(50), 1e-9))

# ---------------------------------------------------------------- files as GDAL finds them
#
# A file of two models whose strings take turns, with attributes: big enough
# (over 1 MiB) that standard input cannot be read twice, interleaved so that a
# layer's pass and a fetch by id go to their strings through the index.


def interleaved_text(strings=6000, vertices=12):
    parts = ["// two models taking turns\nnull -999\n"]
    for k in range(strings):
        model = "Kerbs" if k % 2 == 0 else "Levels"
        parts.append('model "%s"\nstring 3d {\n  name "S%d"\n  attributes {\n    integer "n" %d\n  }\n  data {\n'
                     % (model, k + 1, k + 1))
        parts.extend("    %d.%03d %d.5 %d.25\n" % (1000 + k, v, 2000 + v, 10 + v % 7) for v in range(vertices))
        parts.append("  }\n}\n")
    return "".join(parts)


def listing(ds):
    """Every layer's features as (layer, fid, WKT, fields), in the driver's order."""
    out = []
    for i in range(ds.GetLayerCount()):
        layer = ds.GetLayer(i)
        layer.ResetReading()
        for f in layer:
            out.append((layer.GetName(), f.GetFID(), f.GetGeometryRef().ExportToIsoWkt(),
                        tuple(f.GetField(j) for j in range(f.GetFieldCount()))))
    return out


def ogrinfo_features(stdout):
    """The features ogrinfo -al printed, without the lines that name the file."""
    return [line for line in stdout.splitlines() if line.startswith(("OGRFeature(", "  ", "Layer name", "Feature Count"))]


class PlacesTest(unittest.TestCase):
    """Where GDAL finds a file (/vsi* paths, standard input, archives), what it is
    told by content, and the index that fetches strings by id."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="velmorak-gdal-places-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)
        for name in gdal.ReadDir("/vsimem/velmorak") or []:
            gdal.Unlink("/vsimem/velmorak/" + name)

    write = ReadTest.write

    def make(self):
        if getattr(self, "_plain", None):
            return self._plain
        text = interleaved_text()
        self.assertGreater(len(text), 1 << 20)
        plain = self.write("turns.12da", text)
        with zipfile.ZipFile(os.path.join(self.tmp, "turns.zip"), "w", zipfile.ZIP_DEFLATED) as z:
            z.write(plain, "turns.12da")
        with zipfile.ZipFile(os.path.join(self.tmp, "turns.12daz"), "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("Project Survey.12da", b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le"))
        import gzip
        with open(os.path.join(self.tmp, "turns.12da.gz"), "wb") as f:
            f.write(gzip.compress(text.encode()))
        with open(os.path.join(self.tmp, "turns.12daz"), "rb") as f:
            archive = f.read()
        gdal.FileFromMemBuffer("/vsimem/velmorak/turns.12daz", archive)
        gdal.FileFromMemBuffer("/vsimem/velmorak/archive-any-name.bin", archive)
        gdal.FileFromMemBuffer("/vsimem/velmorak/turns.12da", text.encode())
        self.__class__._plain = plain
        return plain

    def test_virtual_files_and_streams(self):
        plain = self.make()
        want = listing(gdal.OpenEx(plain, gdal.OF_VECTOR))
        self.assertEqual(len(want), 6000)
        t = self.tmp
        rows = [
            ("/vsizip/", "/vsizip/" + os.path.join(t, "turns.zip") + "/turns.12da"),
            ("/vsigzip/", "/vsigzip/" + os.path.join(t, "turns.12da.gz")),
            ("/vsimem/", "/vsimem/velmorak/turns.12da"),
            (".12daz in /vsimem/", "/vsimem/velmorak/turns.12daz"),
            (".12daz by content, any name", "/vsimem/velmorak/archive-any-name.bin"),
            ("member of a .12daz through /vsizip/", "/vsizip/{" + os.path.join(t, "turns.12daz") + "}/Project Survey.12da"),
        ]
        for row, path in rows:
            with self.subTest(row=row):
                with Errors() as errors:
                    ds = gdal.OpenEx(path, gdal.OF_VECTOR)
                    self.assertEqual(ds.GetDriver().ShortName, "12DA")
                    self.assertEqual(listing(ds), want)
                    # A fetch by id after the pass, backwards.
                    layer = ds.GetLayerByName("Levels")
                    for fid in (5998, 2, 1000):
                        self.assertEqual(layer.GetFeature(fid).GetField("n"), fid)
                self.assertEqual(errors.messages, [])
        # Standard input, over 1 MiB, through ogrinfo and ogr2ogr: read once, in one pass.
        expected = subprocess.run(["ogrinfo", "-ro", "-al", plain], capture_output=True, text=True)
        self.assertEqual(expected.returncode, 0, expected.stderr)
        with open(plain, "rb") as f:
            piped = subprocess.run(["ogrinfo", "-ro", "-al", "/vsistdin/"], stdin=f, capture_output=True, text=True)
        with self.subTest(row="/vsistdin/ to ogrinfo"):
            self.assertEqual(piped.returncode, 0, piped.stderr)
            self.assertEqual(piped.stderr, "")
            self.assertEqual(ogrinfo_features(piped.stdout), ogrinfo_features(expected.stdout))
        with self.subTest(row="/vsistdin/ to ogr2ogr"):
            out = os.path.join(t, "stdin.gpkg")
            if os.path.exists(out):
                os.remove(out)
            with open(plain, "rb") as f:
                r = subprocess.run(["ogr2ogr", "-f", "GPKG", out, "/vsistdin/"], stdin=f, capture_output=True, text=True)
            self.assertEqual(r.returncode, 0, r.stderr)
            gpkg = gdal.OpenEx(out, gdal.OF_VECTOR)
            self.assertEqual(sorted(gpkg.GetLayer(i).GetFeatureCount() for i in range(gpkg.GetLayerCount())),
                             [3000, 3000])

    def test_identified_by_content(self):
        text = CASES[1][1]
        rows = [
            # name, content, opens, message looked for when it does not
            ("junk.12da", b"\x00\x01 this is not 12d at all\n", False, "not a 12d ASCII file"),
            ("junk.4da", b"PK\x03\x04 cut archive", False, "not a 12d ASCII file"),
            ("notes.12da", b"Shopping list\nmilk\n", False, "not a 12d ASCII file"),
            ("survey.txt", text.encode(), True, None),
            ("survey.dat", b"\xff\xfe" + text.encode("utf-16-le"), True, None),
            ("headed.12da", ("// notes\n" * 400 + text).encode(), True, None),
        ]
        for name, content, opens, message in rows:
            with self.subTest(file=name):
                path = os.path.join(self.tmp, name)
                with open(path, "wb") as f:
                    f.write(content)
                r = subprocess.run(["ogrinfo", "-ro", "-so", path], capture_output=True, text=True)
                if opens:
                    self.assertEqual(r.returncode, 0, r.stderr)
                    self.assertIn("using driver `12DA' successful", r.stdout)
                else:
                    self.assertNotEqual(r.returncode, 0, r.stdout)
                    self.assertIn(message, r.stderr)
        # A ZIP archive without a .12da member is another driver's business.
        other = os.path.join(self.tmp, "other.zip")
        with zipfile.ZipFile(other, "w") as z:
            z.writestr("readme.txt", "hello")
        r = subprocess.run(["ogrinfo", "-ro", "-so", other], capture_output=True, text=True)
        self.assertNotEqual(r.returncode, 0, r.stdout)
        self.assertNotIn("12d", r.stderr)

    def test_update_access_is_declined_quietly(self):
        path = self.write("update.12da", CASES[1][1])
        # ogrinfo without -ro asks for update access first, as QGIS does.
        r = subprocess.run(["ogrinfo", "-so", "-al", path], capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr, "")
        self.assertIn("Feature Count: 2", r.stdout)
        with Errors() as errors:
            gdal.PushErrorHandler("CPLQuietErrorHandler")
            try:
                gdal.OpenEx(path, gdal.OF_VECTOR | gdal.OF_UPDATE, allowed_drivers=["12DA"])
            except RuntimeError:
                pass
            finally:
                gdal.PopErrorHandler()
        self.assertEqual([m for m in errors.messages if "12DA" in m[1] or "update" in m[1]], [])

    def test_index_of_strings(self):
        """The same features by pass and by id, for files the reader places itself in
        (8-bit, UTF-8 with a mark) and files it reads in sequence (UTF-16, .12daz)."""
        text = interleaved_text(strings=400, vertices=3)
        rows = [
            ("8-bit", "idx.12da", text.encode()),
            ("UTF-8 with a mark", "idx-bom.12da", b"\xef\xbb\xbf" + text.encode()),
            ("CRLF", "idx-crlf.12da", text.replace("\n", "\r\n").encode()),
            ("UTF-16", "idx-16.12da", b"\xff\xfe" + text.encode("utf-16-le")),
            (".12daz", "idx.12daz", None),
        ]
        want = None
        for row, name, content in rows:
            with self.subTest(row=row):
                path = os.path.join(self.tmp, name)
                if content is None:
                    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
                        z.writestr("idx.12da", text)
                else:
                    with open(path, "wb") as f:
                        f.write(content)
                with Errors() as errors:
                    ds = gdal.OpenEx(path, gdal.OF_VECTOR)
                    got = listing(ds)
                    if want is None:
                        want = got
                    self.assertEqual(got, want)
                    self.assertEqual([f[1] for f in got if f[0] == "Kerbs"], list(range(1, 401, 2)))
                    by_fid = {(f[0], f[1]): f for f in got}
                    rng = __import__("random").Random(31)
                    keys = list(by_fid)
                    for layer_name, fid in [rng.choice(keys) for _ in range(60)]:
                        layer = ds.GetLayerByName(layer_name)
                        self.assertTrue(layer.TestCapability(ogr.OLCRandomRead))
                        f = layer.GetFeature(fid)
                        self.assertEqual((layer_name, f.GetFID(), f.GetGeometryRef().ExportToIsoWkt(),
                                          tuple(f.GetField(j) for j in range(f.GetFieldCount()))), by_fid[layer_name, fid])
                        # A string of the other layer is not this layer's feature.
                        self.assertIsNone(layer.GetFeature(fid + 1 if fid < 400 else fid - 1))
                    # Passes of the two layers, each broken off half-way by the other's.
                    kerbs, levels = ds.GetLayerByName("Kerbs"), ds.GetLayerByName("Levels")
                    kerbs.ResetReading()
                    levels.ResetReading()
                    mixed = []
                    for _ in range(200):
                        mixed.append(kerbs.GetNextFeature().GetFID())
                        mixed.append(levels.GetNextFeature().GetFID())
                    self.assertEqual(mixed, list(range(1, 401)))
                    self.assertIsNone(kerbs.GetNextFeature())
                    # A filter still passes over the strings in order.
                    levels.SetAttributeFilter("n > 390")
                    self.assertEqual([f.GetFID() for f in levels], [392, 394, 396, 398, 400])
                    levels.SetAttributeFilter(None)
                self.assertEqual(errors.messages, [])


# ---------------------------------------------------------------- surfaces

import struct  # noqa: E402  (the rasters' cells)


def hex_copy(text):
    """The file with each line of three decimals (a point) in C99 hexadecimal floats."""
    out = []
    for line in text.split("\n"):
        words = line.split()
        if len(words) == 3 and all("." in w for w in words):
            try:
                out.append("    " + " ".join(float(w).hex() for w in words))
                continue
            except ValueError:
                pass
        out.append(line)
    return "\n".join(out)


class TinTest(unittest.TestCase):
    """The surfaces of the shared files as layers and rasters, in one table of
    files and options, and damaged surfaces named by their line."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="velmorak-tin-")
        cls.folder = os.path.join(SHARED, "data", "realworld", "12da")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def source(self, name):
        if name.startswith("hex:"):
            with open(os.path.join(self.folder, name[4:]), encoding="utf-8") as f:
                text = hex_copy(f.read())
            self.assertIn("0x1.0e82000000000p+19", text)
            path = os.path.join(self.tmp, "hex_" + name[4:])
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
            return path
        return os.path.join(self.folder, name)

    def points_of(self, path):
        """Each surface's points and triangles as the file writes them, read here without the driver."""
        tins, current, block = {}, None, None
        with open(path, encoding="utf-8") as f:
            for line in f:
                words = line.split("//")[0].split()
                if not words:
                    continue
                if words[0] in ("tin", "full_tin", "super_tin") and words[-1] == "{":
                    current = {"points": [], "triangles": []}
                elif current is not None and words[0] == "name" and "name" not in current:
                    current["name"] = line.split('"')[1]
                    tins[current["name"]] = current
                elif words[-1] == "{":
                    block = words[0]
                elif words[0] == "}":
                    block = None
                elif block == "points":
                    current["points"].append(tuple(float.fromhex(w) if "0x" in w else float(w) for w in words))
                elif block in ("triangles", "vertices"):
                    current["triangles"].append(tuple(int(w) for w in words))
        return tins

    # file, open options, layers (name, features, geometry type), and what each
    # raster subdataset must give at the file's points.
    ROWS = [
        ("katana_multiple_tins.12da", [],
         [("TIN SOUTH WEST", 8, ogr.wkbPolygon25D), ("TIN SOUTH EAST", 8, ogr.wkbPolygon25D),
          ("TIN NORTH WEST", 8, ogr.wkbPolygon25D), ("TIN NORTH EAST", 8, ogr.wkbPolygon25D)]),
        ("hex:katana_multiple_tins.12da", [],
         [("TIN SOUTH WEST", 8, ogr.wkbPolygon25D), ("TIN SOUTH EAST", 8, ogr.wkbPolygon25D),
          ("TIN NORTH WEST", 8, ogr.wkbPolygon25D), ("TIN NORTH EAST", 8, ogr.wkbPolygon25D)]),
        ("katana_multiple_tins.12da", ["TIN_GEOMETRY=TIN"],
         [("TIN SOUTH WEST", 1, ogr.wkbTINZ), ("TIN SOUTH EAST", 1, ogr.wkbTINZ),
          ("TIN NORTH WEST", 1, ogr.wkbTINZ), ("TIN NORTH EAST", 1, ogr.wkbTINZ)]),
        ("katana_multiple_tins.12da", ["TIN_GEOMETRY=NONE"], []),
        ("katana_super_tin.12da", [],
         [("NATURAL SURFACE", 32, ogr.wkbPolygon25D), ("PAD A", 8, ogr.wkbPolygon25D),
          ("PAD B", 8, ogr.wkbPolygon25D), ("COMBINED SURFACE", 48, ogr.wkbPolygon25D)]),
        ("katana_all_geometries_2025.12da", [], [("Natural Surface TIN (Ground TIN)", 1, ogr.wkbPolygon25D)]),
    ]

    def test_layers_and_rasters(self):
        if not os.path.isdir(self.folder):
            self.skipTest(f"{self.folder} is not there")
        values = {}  # the raster of each file's surfaces, by file: the hexadecimal copy must give the same
        for name, options, layers in self.ROWS:
            with self.subTest(file=name, options=options):
                path = self.source(name)
                tins = self.points_of(path)
                with Errors() as errors:
                    ds = gdal.OpenEx(path, gdal.OF_VECTOR, open_options=options)
                    names = [ds.GetLayer(i).GetName() for i in range(ds.GetLayerCount())]
                    got = [n for n in names if n.split(" (")[0] in tins]
                    self.assertEqual(got, [l[0] for l in layers])
                    for layer_name, count, geom_type in layers:
                        layer = ds.GetLayerByName(layer_name)
                        self.assertEqual(layer.GetGeomType(), geom_type, layer_name)
                        self.assertEqual(layer.GetFeatureCount(), count, layer_name)
                        features = list(layer)
                        self.assertEqual(len(features), count, layer_name)
                        tin = tins[layer_name.split(" (")[0]]
                        for f in features:
                            self.assertEqual(f.GetField("tin"), layer_name.split(" (")[0])
                            if geom_type != ogr.wkbPolygon25D or "member" in f.keys():
                                continue
                            # The triangle's corners are the file's points, in the file's order.
                            k = f.GetField("triangle")
                            corners = f.GetGeometryRef().GetGeometryRef(0).GetPoints()
                            self.assertEqual(corners[:3], [tin["points"][i - 1] for i in tin["triangles"][k - 1]])
                        if layer_name == "COMBINED SURFACE":
                            self.assertEqual([(f.GetField("member"), f.GetField("rank")) for f in features][::8],
                                             [("NATURAL SURFACE", 1)] * 4 + [("PAD A", 2), ("PAD B", 3)])
                if options:
                    self.assertEqual(errors.messages, [])
                    continue
                # The rasters: listed as subdatasets, exact at every point of the surface.
                info = gdal.Open(path)
                subdatasets = info.GetMetadata("SUBDATASETS")
                listed = [subdatasets[k] for k in sorted(subdatasets) if k.endswith("_NAME")]
                self.assertEqual(len(listed), len(tins), listed)
                for tin_name, tin in tins.items():
                    sub = f'12DA:"{path}":"{tin_name}"'
                    self.assertIn(sub, listed)
                    raster = gdal.Translate(os.path.join(self.tmp, "dem.tif"), sub, format="GTiff")
                    band = raster.GetRasterBand(1)
                    self.assertEqual(band.DataType, gdal.GDT_Float32)
                    self.assertEqual(band.GetNoDataValue(), -9999)
                    grid = band.ReadRaster()
                    t = raster.GetGeoTransform()
                    cells = struct.unpack("%df" % (raster.RasterXSize * raster.RasterYSize), grid)

                    def at(x, y):
                        c, r = int((x - t[0]) / t[1]), int((y - t[3]) / t[5])
                        return cells[r * raster.RasterXSize + c]

                    points = tin["points"]
                    if not points:  # the super TIN: the pads' heights over the pads, the ground elsewhere
                        pads = tins["PAD A"]["points"] + tins["PAD B"]["points"]
                        for x, y, z in pads:
                            self.assertAlmostEqual(at(x, y), z, places=4)
                        boxes = [(min(p[0] for p in tins[pad]["points"]), min(p[1] for p in tins[pad]["points"]),
                                  max(p[0] for p in tins[pad]["points"]), max(p[1] for p in tins[pad]["points"]))
                                 for pad in ("PAD A", "PAD B")]
                        for x, y, z in tins["NATURAL SURFACE"]["points"]:
                            over = [b for b in boxes if b[0] <= x <= b[2] and b[1] <= y <= b[3]]
                            if not over:
                                self.assertAlmostEqual(at(x, y), z, places=4)
                            else:  # a ground point under a pad: the pad's flat height
                                self.assertAlmostEqual(at(x, y), 22.2 if over[0] == boxes[0] else 18.0, places=4)
                        self.assertAlmostEqual(at(554070, 6883580), 22.2, places=4)
                        self.assertAlmostEqual(at(554170, 6883660), 18.0, places=4)
                    else:
                        for x, y, z in points:
                            self.assertAlmostEqual(at(x, y), z, places=4, msg=(tin_name, x, y))
                    valid = [v for v in cells if v != -9999]
                    self.assertTrue(valid)
                    values.setdefault(name.replace("hex:", ""), []).append(sum(valid))
                    raster = None
                self.assertEqual(errors.messages, [])
        # The hexadecimal copy gives the same rasters as the decimal file.
        self.assertEqual(len(values["katana_multiple_tins.12da"]), 8)
        self.assertEqual(values["katana_multiple_tins.12da"][:4], values["katana_multiple_tins.12da"][4:])

    def test_plane_region_is_the_plane(self):
        # A perturbed grid of 60 x 60 points, 2 m apart, whose heights are a
        # plane in one region and rough elsewhere, as the benchmark's TIN is:
        # every cell whose centre lies in the region (inside its outer ring of
        # triangles) equals the plane to 1e-4 of the raster's height range.
        import random
        rng = random.Random(12)
        n, step = 60, 2.0
        plane = lambda x, y: 50.0 + 0.02 * (x - 1000.0) + 0.01 * (y - 2000.0)
        region = (10, 40)  # rows and columns of points whose heights are on the plane
        points = []
        for r in range(n):
            for c in range(n):
                x = 1000.0 + c * step + (rng.uniform(-0.4, 0.4) if 0 < c < n - 1 else 0.0)
                y = 2000.0 + r * step + (rng.uniform(-0.4, 0.4) if 0 < r < n - 1 else 0.0)
                inside = region[0] <= r <= region[1] and region[0] <= c <= region[1]
                points.append((x, y, plane(x, y) if inside else 40.0 + rng.uniform(0.0, 30.0)))
        lines = ["tin {", ' name "PLANE"', " points {"]
        lines += ["  %r %r %r" % p for p in points]
        lines += [" }", " triangles {"]
        for r in range(n - 1):
            for c in range(n - 1):
                k = r * n + c + 1
                lines += ["  %d %d %d" % (k, k + n, k + 1), "  %d %d %d" % (k + 1, k + n, k + n + 1)]
        lines += [" }", "}", ""]
        path = os.path.join(self.tmp, "plane.12da")
        with open(path, "w") as f:
            f.write("\n".join(lines))
        with Errors() as errors:
            raster = gdal.Open(f'12DA:"{path}":"PLANE"')
            band = raster.GetRasterBand(1)
            t = raster.GetGeoTransform()
            w, h = raster.RasterXSize, raster.RasterYSize
            cells = struct.unpack("%df" % (w * h), band.ReadRaster())
        self.assertEqual(errors.messages, [])
        valid = [v for v in cells if v != -9999]
        tolerance = 1e-4 * (max(valid) - min(valid))
        # The region's inner box: its corner points are perturbed by 0.4 m at most.
        lo = (region[0] * step + 0.5, region[1] * step - 0.5)
        checked = 0
        for row in range(h):
            y = t[3] + (row + 0.5) * t[5]
            if not lo[0] <= y - 2000.0 <= lo[1]:
                continue
            for col in range(w):
                x = t[0] + (col + 0.5) * t[1]
                if lo[0] <= x - 1000.0 <= lo[1]:
                    self.assertLessEqual(abs(cells[row * w + col] - plane(x, y)), tolerance, (x, y))
                    checked += 1
        self.assertGreater(checked, 10000)

    def test_written_tins_read_back(self):
        # ogr2ogr -f 12DA of a TIN layer gives back the same TIN, from its
        # triangles (points shared by coordinate) or from its TIN Z feature.
        if not os.path.isdir(self.folder):
            self.skipTest(f"{self.folder} is not there")
        source = os.path.join(self.folder, "katana_multiple_tins.12da")

        def features(path, layer, options=()):
            ds = gdal.OpenEx(path, gdal.OF_VECTOR, open_options=list(options))
            lyr = ds.GetLayerByName(layer)
            return [(f.GetFID(), f.GetGeometryRef().ExportToIsoWkt(), f.items()) for f in lyr]

        want = features(source, "TIN NORTH EAST")
        for label, options in (("triangles", []), ("tin", ["TIN_GEOMETRY=TIN"])):
            with self.subTest(source=label):
                out = os.path.join(self.tmp, f"written_{label}.12da")
                with Errors() as errors:
                    gdal.VectorTranslate(out, gdal.OpenEx(source, gdal.OF_VECTOR, open_options=options),
                                         format="12DA", layers=["TIN NORTH EAST"])
                    self.assertEqual(features(out, "TIN NORTH EAST"), want)
                    self.assertEqual(features(out, "TIN NORTH EAST", ["TIN_GEOMETRY=TIN"]),
                                     features(source, "TIN NORTH EAST", ["TIN_GEOMETRY=TIN"]))
                self.assertEqual(errors.messages, [])
                with open(out, encoding="utf-8-sig") as f:
                    text = f.read()
                # Nine points, each once, and eight triangles of their numbers.
                points = text.split("points {")[1].split("}")[0].split("\n")
                self.assertEqual(len([p for p in points if p.strip()]), 9)

    def test_invisible_triangles_are_nodata(self):
        # A full_tin: four construction points far out, and a square of two
        # triangles of which the second is nulled. Only the first is drawn, and
        # the layer holds it alone.
        path = os.path.join(self.tmp, "nulled.12da")
        with open(path, "w") as f:
            f.write("full_tin {\n name \"F\"\n points {\n  -100 -100 0\n  -100 100 0\n  100 100 0\n  100 -100 0\n"
                    "  0 0 10\n  10 0 20\n  0 10 30\n  10 10 40\n }\n triangles {\n  5 7 6\n  6 7 8\n  1 5 6\n }\n"
                    " nulling {\n  2 1 2\n }\n}\n")
        with Errors() as errors:
            ds = gdal.OpenEx(path, gdal.OF_VECTOR)
            self.assertEqual([f.GetField("triangle") for f in ds.GetLayer(0)], [1])
            raster = gdal.OpenEx(f'12DA:"{path}":"F"', gdal.OF_RASTER,
                                 open_options=["RESOLUTION=1", "EXTENT=0,0,10,10"])
            band = raster.GetRasterBand(1)
            t = raster.GetGeoTransform()
            w = raster.RasterXSize
            cells = struct.unpack("%df" % (w * raster.RasterYSize), band.ReadRaster())

            def at(x, y):
                return cells[int((y - t[3]) / t[5]) * w + int((x - t[0]) / t[1])]

            self.assertAlmostEqual(at(2, 2), 10 + 1 * 2 + 2 * 2, places=4)  # the plane z = 10 + x + 2y
            self.assertAlmostEqual(at(0, 0), 10, places=4)
            self.assertEqual(at(8, 8), -9999)  # the nulled triangle
        self.assertEqual(errors.messages, [])

    def test_damaged_surfaces_name_their_line(self):
        head = "tin {\n name \"D\"\n points {\n  0 0 1\n  10 0 2\n  0 10 3\n }\n"
        rows = [
            ("range.12da", head + " triangles {\n  1 2 3\n  2 4 3\n }\n}\n", 10, "triangle 2 names point 4 of 3"),
            ("degenerate.12da", head + " triangles {\n  1 2 2\n }\n}\n", 9, "is degenerate"),
            ("missing.12da", "tin {\n name \"E\"\n points { 0 0 0 }\n}\n", 1, "has no triangles block"),
        ]
        for name, text, line, what in rows:
            with self.subTest(file=name):
                path = os.path.join(self.tmp, name)
                with open(path, "w") as f:
                    f.write(text)
                with Errors() as errors:
                    ds = gdal.OpenEx(path, gdal.OF_VECTOR)
                    self.assertEqual(ds.GetLayerCount(), 0)
                self.assertEqual(len(errors.messages), 1, errors.messages)
                self.assertIn(what, errors.messages[0][1])
                self.assertIn("(line %d)" % line, errors.messages[0][1])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
