"""A 1 km window against one full pass: what a map canvas asks of a layer when
it pans or zooms over a large file. The dataset is opened once, as a desktop
GIS keeps it open; then one pass over every feature of every layer without a
filter, and one pass with the window as the spatial filter of every layer,
are timed, the best of three each.

The filtered pass must give at least every feature whose geometry meets the
window and none whose envelope misses it (GDAL's contract for a spatial
filter: a driver may return features that only their envelopes bring in).
Both sets are counted from an unfiltered pass, in Python; the window must
hold at least one feature.

    spatial_window.py --window FILE
        prints "xmin ymin xmax ymax": a 1000 m x 1000 m window in the middle
        of the extent of the file's layers
    spatial_window.py FILE [xmin ymin xmax ymax]
        prints "<features> <window features> <pass s> <window s>"

Run by bench/run.sh with GDAL's Python bindings, on a .12da through the plugin
and on a GeoPackage of the same file, with the same window for both.
"""
import sys
import time

from osgeo import gdal, ogr

gdal.UseExceptions()

SIDE = 1000.0


def layers_of(ds):
    return [ds.GetLayer(i) for i in range(ds.GetLayerCount())]


def middle_window(ds):
    xmin = ymin = float("inf")
    xmax = ymax = float("-inf")
    for layer in layers_of(ds):
        if layer.GetGeomType() == ogr.wkbNone:
            continue
        e = layer.GetExtent()  # (minx, maxx, miny, maxy)
        xmin, xmax = min(xmin, e[0]), max(xmax, e[1])
        ymin, ymax = min(ymin, e[2]), max(ymax, e[3])
    if xmin > xmax:
        sys.exit("no layer has an extent")
    cx, cy = (xmin + xmax) / 2, (ymin + ymax) / 2
    return cx - SIDE / 2, cy - SIDE / 2, cx + SIDE / 2, cy + SIDE / 2


def one_pass(layers):
    n = 0
    for layer in layers:
        layer.ResetReading()
        for _f in layer:
            n += 1
    return n


def filtered_pass(layers, window):
    got = set()
    for layer in layers:
        layer.SetSpatialFilterRect(*window)
        layer.ResetReading()
        got.update((layer.GetName(), f.GetFID()) for f in layer)
        layer.SetSpatialFilter(None)
    return got


def main(path, window):
    ds = gdal.OpenEx(path, gdal.OF_VECTOR)
    layers = layers_of(ds)
    if window is None:
        window = middle_window(ds)
    wxmin, wymin, wxmax, wymax = window
    ring = ogr.Geometry(ogr.wkbLinearRing)
    for x, y in ((wxmin, wymin), (wxmax, wymin), (wxmax, wymax), (wxmin, wymax), (wxmin, wymin)):
        ring.AddPoint_2D(x, y)
    box = ogr.Geometry(ogr.wkbPolygon)
    box.AddGeometry(ring)

    # The unfiltered pass that sets the expected answers.
    features = 0
    meets_box = set()  # the envelope meets the window
    meets_geometry = set()  # the geometry itself meets it
    for layer in layers:
        layer.ResetReading()
        for f in layer:
            features += 1
            g = f.GetGeometryRef()
            if g is None:
                continue
            minx, maxx, miny, maxy = g.GetEnvelope()
            if maxx < wxmin or minx > wxmax or maxy < wymin or miny > wymax:
                continue
            key = (layer.GetName(), f.GetFID())
            meets_box.add(key)
            if g.Intersects(box):
                meets_geometry.add(key)
    if not meets_geometry:
        sys.exit("the window %r meets no feature" % (window,))

    best_pass = best_window = None
    for _ in range(3):
        t0 = time.perf_counter()
        n = one_pass(layers)
        t1 = time.perf_counter()
        got = filtered_pass(layers, window)
        t2 = time.perf_counter()
        if n != features:
            sys.exit("a pass gave %d features, the first %d" % (n, features))
        if not meets_geometry <= got:
            sys.exit("the window left out %d features that meet it" % len(meets_geometry - got))
        if not got <= meets_box:
            sys.exit("the window gave %d features whose envelope misses it" % len(got - meets_box))
        best_pass = t1 - t0 if best_pass is None else min(best_pass, t1 - t0)
        best_window = t2 - t1 if best_window is None else min(best_window, t2 - t1)
    sys.stderr.write("window %.3f %.3f %.3f %.3f: %d features meet it, %d envelopes, %d given\n"
                     % (wxmin, wymin, wxmax, wymax, len(meets_geometry), len(meets_box), len(got)))
    print(features, len(got), "%.4f" % best_pass, "%.4f" % best_window)


if __name__ == "__main__":
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == "--window":
        print("%.3f %.3f %.3f %.3f" % middle_window(gdal.OpenEx(args[1], gdal.OF_VECTOR)))
    elif len(args) in (1, 5):
        main(args[0], tuple(float(a) for a in args[1:]) if len(args) == 5 else None)
    else:
        sys.exit(__doc__)
