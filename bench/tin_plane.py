"""The plane region of the benchmark's TIN in its raster: every cell whose
centre lies in the region equals the plane to 1e-4 of the raster's height
range. Prints one verdict line; exit status 1 on a cell that does not.

    tin_plane.py dem.tif tin-plane.txt
"""
import sys

import numpy
from osgeo import gdal


def main():
    raster = gdal.Open(sys.argv[1])
    with open(sys.argv[2]) as f:
        minx, miny, maxx, maxy, a, b, c, x0, y0 = map(float, f.read().split())
    band = raster.GetRasterBand(1)
    cells = band.ReadAsArray().astype(numpy.float64)
    nodata = band.GetNoDataValue()
    valid = cells[cells != nodata]
    tolerance = 1e-4 * (valid.max() - valid.min())
    t = raster.GetGeoTransform()
    xs = t[0] + (numpy.arange(raster.RasterXSize) + 0.5) * t[1]
    ys = t[3] + (numpy.arange(raster.RasterYSize) + 0.5) * t[5]
    cols = numpy.nonzero((xs >= minx) & (xs <= maxx))[0]
    rows = numpy.nonzero((ys >= miny) & (ys <= maxy))[0]
    region = cells[rows[0]:rows[-1] + 1, cols[0]:cols[-1] + 1]
    gx, gy = numpy.meshgrid(xs[cols], ys[rows])
    error = numpy.abs(region - (a + b * (gx - x0) + c * (gy - y0)))
    worst = error.max()
    ok = worst <= tolerance
    print("TIN raster, plane region: %d cells, worst %.2g m (target at most %.2g, 1e-4 of the height range): %s"
          % (region.size, worst, tolerance, "PASS" if ok else "FAIL"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
