"""The 12DA driver against the checks GDAL's conformance tool makes of a
driver, over the shared 12d files: one table of checks, run on every layer of
every file.

  count      the feature count equals the features a pass gives
  by id      GetFeature(fid) equals the feature the pass gave at that id
  again      ResetReading gives the same sequence again
  spatial    a spatial filter gives the features whose envelopes meet it
  attribute  an attribute filter gives the same features as SQL's WHERE
  extent     the layer's extent holds every geometry
  z          the dataset answers ODsCZGeometries as its layers do
  fast filter  a layer of strings says OLCFastSpatialFilter where the file can seek

and, written: a layer created with each geometry type reports the type it
reads back as (polygons come back as lines), which a reopened file gives.

Run by CTest: conformance_test.py <shared-data-folder> [...].
"""
import glob
import os
import sys
import unittest

from osgeo import gdal, ogr

gdal.UseExceptions()
SHARED = sys.argv[1] if len(sys.argv) > 1 else ""


def files():
    found = sorted(glob.glob(os.path.join(SHARED, "data", "realworld", "12da", "*")) +
                   glob.glob(os.path.join(SHARED, "data", "12d-exports", "*.12da*")))
    found.append(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "site.12da"))
    return found


def snapshot(f):
    g = f.GetGeometryRef()
    return (f.GetFID(), g.ExportToIsoWkt() if g is not None else None,
            tuple(f.GetField(i) for i in range(f.GetFieldCount())), f.GetStyleString())


def envelope(f):
    g = f.GetGeometryRef()
    return None if g is None else g.GetEnvelope()  # (minx, maxx, miny, maxy)


def meets(env, box):
    return not (env[1] < box[0] or env[0] > box[1] or env[3] < box[2] or env[2] > box[3])


def check_count(t, layer, seq):
    t.assertEqual(layer.GetFeatureCount(), len(seq))


def check_by_id(t, layer, seq):
    for s in reversed(seq):
        t.assertEqual(snapshot(layer.GetFeature(s[0])), s)
    t.assertIsNone(layer.GetFeature(-10))
    t.assertIsNone(layer.GetFeature(2000000000))


def check_again(t, layer, seq):
    layer.ResetReading()
    t.assertEqual([snapshot(f) for f in layer], seq)


def filtered_by_gdal(seq, layer, box, shape):
    """The fids GDAL's own filtering keeps: the features in a Memory layer
    under the same filter."""
    mem = ogr.GetDriverByName("Memory").CreateDataSource("filter")
    copy = mem.CreateLayer("copy", None, ogr.wkbUnknown)
    for s in seq:
        source = layer.GetFeature(s[0])
        g = source.GetGeometryRef()
        f = ogr.Feature(copy.GetLayerDefn())
        f.SetFID(s[0])
        if g is not None:
            f.SetGeometry(g)
        copy.CreateFeature(f)
    if shape is None:
        copy.SetSpatialFilterRect(box[0], box[2], box[1], box[3])
    else:
        copy.SetSpatialFilter(shape)
    return [f.GetFID() for f in copy]


def check_spatial(t, layer, seq):
    if not seq:
        return
    envs = {s[0]: envelope(layer.GetFeature(s[0])) for s in seq}
    minx, maxx, miny, maxy = layer.GetExtent()
    # Around a few features' own envelopes, as GDAL's tool sets them, the
    # middle of the layer, and a box beyond the extent.
    boxes = [(e[0] - 0.001, e[1] + 0.001, e[2] - 0.001, e[3] + 0.001, fid)
             for fid, e in list(envs.items())[:: max(1, len(envs) // 5)] if e is not None]
    w, h = maxx - minx, maxy - miny
    boxes.append((minx + w / 3, maxx - w / 3, miny + h / 3, maxy - h / 3, None))
    boxes.append((maxx + 1, maxx + 2, maxy + 1, maxy + 2, None))
    for x0, x1, y0, y1, fid in boxes:
        box = (x0, x1, y0, y1)
        # The box itself, and the triangle of its lower left half, which is no rectangle.
        triangle = ogr.CreateGeometryFromWkt("POLYGON ((%r %r,%r %r,%r %r,%r %r))" % (x0, y0, x1, y0, x0, y1, x0, y0))
        for shape in (None, triangle):
            if shape is None:
                layer.SetSpatialFilterRect(x0, y0, x1, y1)
            else:
                layer.SetSpatialFilter(shape)
            try:
                got = [f.GetFID() for f in layer]
                # Exactly what GDAL's own filtering keeps, in the same order.
                t.assertEqual(got, filtered_by_gdal(seq, layer, box, shape), (box, shape is not None))
                if fid is not None and shape is None:
                    t.assertIn(fid, got, box)
                t.assertEqual(layer.GetFeatureCount(), len(got))
                # The extent under the filter is that of the features it keeps.
                if got:
                    kept = [envs[f] for f in got]
                    want = (min(e[0] for e in kept), max(e[1] for e in kept),
                            min(e[2] for e in kept), max(e[3] for e in kept))
                    for a, b in zip(layer.GetExtent(), want):
                        # An arc's envelope, from GDAL's own arithmetic, may round a last bit beyond the driver's.
                        t.assertAlmostEqual(a, b, delta=1e-12 * max(1.0, abs(b)), msg=(box, want))
            finally:
                layer.SetSpatialFilter(None)


def filters(layer, seq):
    """Attribute filters on the layer's own fields: its first field set or not,
    and equal to the first feature's value of it."""
    defn = layer.GetLayerDefn()
    out = []
    for i in range(min(defn.GetFieldCount(), 3)):
        name = defn.GetFieldDefn(i).GetName()
        out.append('"%s" IS NOT NULL' % name)
        value = seq[0][2][i] if seq else None
        if isinstance(value, str) and "'" not in value:
            out.append("\"%s\" = '%s'" % (name, value))
        elif isinstance(value, (int, float)) and value == value:
            out.append('"%s" = %r' % (name, value))
    return out


def check_attribute(t, layer, seq, ds):
    for where in filters(layer, seq):
        layer.SetAttributeFilter(where)
        try:
            got = [snapshot(f) for f in layer]
        finally:
            layer.SetAttributeFilter(None)
        sql = ds.ExecuteSQL('SELECT * FROM "%s" WHERE %s' % (layer.GetName(), where))
        try:
            want = [snapshot(f) for f in sql]
        finally:
            ds.ReleaseResultSet(sql)
        t.assertEqual(got, want, where)


def check_extent(t, layer, seq):
    if not seq:
        return
    minx, maxx, miny, maxy = layer.GetExtent()

    def slack(v):
        # An arc's envelope, from GDAL's own arithmetic, may round a last bit beyond the driver's.
        return 1e-12 * max(1.0, abs(v))

    for s in seq:
        env = envelope(layer.GetFeature(s[0]))
        t.assertTrue(minx - slack(minx) <= env[0] and env[1] <= maxx + slack(maxx) and
                     miny - slack(miny) <= env[2] and env[3] <= maxy + slack(maxy), (s[0], env, (minx, maxx, miny, maxy)))


def head(path):
    f = gdal.VSIFOpenL(path, "rb")
    try:
        return gdal.VSIFReadL(1, 4, f)
    finally:
        gdal.VSIFCloseL(f)


def check_fast_filter(t, layer, path):
    # A spatial filter goes straight to the strings whose boxes meet it where
    # the file can seek: a plain file of 8-bit or UTF-8 text, not UTF-16 or a
    # ZIP archive's member.
    strings = layer.GetLayerDefn().GetFieldIndex("triangle") < 0
    plain = head(path)[:2] not in (b"\xff\xfe", b"\xfe\xff", b"PK")
    t.assertEqual(bool(layer.TestCapability(ogr.OLCFastSpatialFilter)), strings and plain, path)


def check_z(t, layer, seq, ds):
    t.assertTrue(ds.TestCapability(ogr.ODsCZGeometries))
    if any(s[1] is not None and " Z " in s[1].split("(")[0] + " " for s in seq):
        t.assertTrue(layer.TestCapability(ogr.OLCZGeometries))


CHECKS = [
    ("count", check_count),
    ("by id", check_by_id),
    ("again", check_again),
    ("spatial", check_spatial),
    ("attribute", lambda t, layer, seq: check_attribute(t, layer, seq, t.ds)),
    ("extent", check_extent),
    ("z", lambda t, layer, seq: check_z(t, layer, seq, t.ds)),
    ("fast filter", lambda t, layer, seq: check_fast_filter(t, layer, t.path)),
]

# What a written layer of each type reads back as: one string per line or
# ring, one one-vertex string per point.
WRITTEN = [
    (ogr.wkbPoint, "POINT (1 2)"),
    (ogr.wkbLineString, "LINESTRING (1 2,3 4)"),
    (ogr.wkbPolygon, "POLYGON ((0 0,0 1,1 1,0 0))"),
    (ogr.wkbMultiPoint, "MULTIPOINT (1 2,3 4)"),
    (ogr.wkbMultiLineString, "MULTILINESTRING ((1 2,3 4))"),
    (ogr.wkbMultiPolygon, "MULTIPOLYGON (((0 0,0 1,1 1,0 0)))"),
    (ogr.wkbPoint25D, "POINT Z (1 2 3)"),
    (ogr.wkbLineString25D, "LINESTRING Z (1 2 3,3 4 5)"),
    (ogr.wkbPolygon25D, "POLYGON Z ((0 0 1,0 1 2,1 1 3,0 0 1))"),
    (ogr.wkbMultiPolygon25D, "MULTIPOLYGON Z (((0 0 1,0 1 2,1 1 3,0 0 1)))"),
]
# A layer of any type (wkbUnknown, a geometry collection) cannot tell what its
# features will be; GDAL's tool leaves such layers out of this check too.


class ConformanceTest(unittest.TestCase):
    def test_checks_on_shared_files(self):
        paths = [p for p in files() if os.path.exists(p)]
        self.assertTrue(paths)
        # The example again as UTF-16, which is read in sequence only.
        with open(paths[-1], "rb") as f:
            gdal.FileFromMemBuffer("/vsimem/conformance_utf16.12da", f.read().decode("latin-1").encode("utf-16"))
        paths.append("/vsimem/conformance_utf16.12da")
        for path in paths:
            self.path = path
            self.ds = gdal.OpenEx(path, gdal.OF_VECTOR)
            for i in range(self.ds.GetLayerCount()):
                layer = self.ds.GetLayer(i)
                layer.ResetReading()
                seq = [snapshot(f) for f in layer]
                for name, check in CHECKS:
                    with self.subTest(file=os.path.basename(path), layer=layer.GetName(), check=name):
                        check(self, layer, seq)
            self.ds = None

    def test_written_layer_reads_back_with_its_type(self):
        driver = gdal.GetDriverByName("12DA")
        for n, (kind, wkt) in enumerate(WRITTEN):
            with self.subTest(type=ogr.GeometryTypeToName(kind)):
                path = "/vsimem/conformance_%d.12da" % n
                ds = driver.Create(path, 0, 0, 0, gdal.GDT_Unknown)
                layer = ds.CreateLayer("written", None, kind)
                f = ogr.Feature(layer.GetLayerDefn())
                f.SetGeometry(ogr.CreateGeometryFromWkt(wkt))
                self.assertEqual(layer.CreateFeature(f), 0)
                reported = layer.GetGeomType()
                ds = None
                back = gdal.OpenEx(path, gdal.OF_VECTOR)
                self.assertEqual(back.GetLayerByName("written").GetGeomType(), reported,
                                 ogr.GeometryTypeToName(reported))
                back = None
                gdal.Unlink(path)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
