"""Fetches by id against one pass, through the 12DA driver: the time of one
full pass over every layer of a file, and of 200 features fetched by id in
random order (a host's attribute table, its identify tool). Prints one line,
"<features> <pass seconds> <fetch seconds>", the best of three each.

Run by bench/run.sh with GDAL's Python bindings: random_access.py FILE.
"""
import random
import sys
import time

from osgeo import gdal

gdal.UseExceptions()


def main(path):
    ds = gdal.OpenEx(path, gdal.OF_VECTOR)
    layers = [ds.GetLayer(i) for i in range(ds.GetLayerCount())]
    fids = []
    for layer in layers:
        layer.ResetReading()
        fids.extend((layer, f.GetFID()) for f in layer)
    rng = random.Random(12)
    picks = [rng.choice(fids) for _ in range(200)]
    best_pass = best_fetch = None
    for _ in range(3):
        t0 = time.perf_counter()
        n = 0
        for layer in layers:
            layer.ResetReading()
            for _f in layer:
                n += 1
        t1 = time.perf_counter()
        for layer, fid in picks:
            f = layer.GetFeature(fid)
            if f is None or f.GetFID() != fid:
                sys.exit("feature %d of %s not fetched" % (fid, layer.GetName()))
        t2 = time.perf_counter()
        best_pass = t1 - t0 if best_pass is None else min(best_pass, t1 - t0)
        best_fetch = t2 - t1 if best_fetch is None else min(best_fetch, t2 - t1)
    if n != len(fids):
        sys.exit("a pass gave %d features, the first %d" % (n, len(fids)))
    print(len(fids), "%.4f" % best_pass, "%.4f" % best_fetch)


if __name__ == "__main__":
    main(sys.argv[1])
