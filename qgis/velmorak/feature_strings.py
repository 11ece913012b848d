"""QGIS features as 12d strings, the way the 12DA GDAL driver writes any vector layer.

Each point, line and polygon ring of a feature becomes a super string of the
layer's model, with the feature's fields: the name field (NAME_FIELD, else a
field "name", else the first text field), the colour field (COLOUR_FIELD, else
"colour" or "color"; without one, the colour of the feature's style), "style", "breakline", a number field "chainage", and
every other field as an attribute ("group/value" inside group "group"). A
field "type" that says "super" and an integer field "closed" are what the
driver's reading adds: they go back only in what they tell. A line that ends
on its first vertex is a closed string when it is a ring, or when its
"closed" field is set.

Read in QGIS (reading features is safe there); the strings are written by
the worker process (export_worker.py).
"""
import importlib.util
import math
import os

from qgis.core import QgsAbstractGeometry, QgsGeometry, QgsProviderRegistry, QgsWkbTypes
from qgis.PyQt.QtCore import QDate, QDateTime, QTime, QVariant

from . import native

INTEGER_TYPES = (QVariant.Int, QVariant.UInt, QVariant.LongLong, QVariant.ULongLong)
NUMBER_TYPES = INTEGER_TYPES + (QVariant.Double,)


def _is_null(value):
    return value is None or (isinstance(value, QVariant) and value.isNull())


_colour_table = None


def colour_table():
    """12d's colour names with their 0xRRGGBB, in the order of its colour list:
    the table of the GDAL Python driver the plugin carries (the native
    driver's), read once; empty when it cannot be read."""
    global _colour_table
    if _colour_table is None:
        try:
            path = os.path.join(native.driver_dir(), "ogr_12DA.py")
            found = importlib.util.spec_from_file_location("_velmorak_ogr_12da", path)
            module = importlib.util.module_from_spec(found)
            found.loader.exec_module(module)
            _colour_table = [(str(name), int(rgb)) for name, rgb in module.COLOURS]
        except Exception:  # a driver file without the table: no colours from styles
            _colour_table = []
    return _colour_table


def colour_of_symbol(symbol):
    """The 12d colour of a feature's own symbol (a DXF's or MapInfo layer's pen,
    as QGIS reads the feature's style): the table's colour nearest to it, the
    first of equals, as the driver chooses it; None without a symbol."""
    if symbol is None or not symbol.color().isValid():
        return None
    c = symbol.color()
    best, best_distance = None, None
    for name, rgb in colour_table():
        distance = sum((v - ((rgb >> shift) & 0xFF)) ** 2 for v, shift in ((c.red(), 16), (c.green(), 8), (c.blue(), 0)))
        if best_distance is None or distance < best_distance:
            best, best_distance = name, distance
    return best


def key_fields(layer):
    """The fields that are the layer's keys in its data source (a GeoPackage's fid):
    GDAL gives them as feature ids, not fields, so they are no attributes of the strings."""
    try:
        return set(layer.dataProvider().pkAttributeIndexes()) if layer.providerType() == "ogr" else set()
    except AttributeError:
        return set()


def model_name(layer):
    """A layer opened from a file of several layers writes the file's layer
    name (a 12d model read back keeps its name), any other layer its name in
    the project."""
    try:
        parts = QgsProviderRegistry.instance().decodeUri(layer.providerType(), layer.source())
    except Exception:  # a provider that cannot decode its own source
        parts = {}
    return parts.get("layerName") or layer.name()


class FieldPlan:
    """Which field of a layer fills which part of a string, chosen once per layer."""

    def __init__(self, fields, name_option="", colour_option="", warn=None, keys=()):
        def named(*names):
            for i in range(fields.count()):
                if fields.at(i).name().lower() in names:
                    return i
            return -1

        def chosen(option, what, *names):
            if not option:
                return named(*names)
            i = fields.lookupField(option)
            if i < 0 and warn is not None:
                warn(f"There is no field {option} for the strings' {what}.")
            return i

        self.types = [fields.at(i).type() for i in range(fields.count())]
        self.name = chosen(name_option, "names", "name")
        if not name_option and self.name < 0:
            self.name = next((i for i, t in enumerate(self.types) if t == QVariant.String), -1)
        self.colour = chosen(colour_option, "colours", "colour", "color")
        self.style = named("style")
        self.breakline = named("breakline")
        self.chainage = named("chainage")
        self.type = named("type")
        self.closed = named("closed")
        # The driver's "closed" is an integer of boolean kind, which QGIS gives as a Bool field.
        if self.closed >= 0 and self.types[self.closed] not in INTEGER_TYPES + (QVariant.Bool,):
            self.closed = -1
        if self.chainage >= 0 and self.types[self.chainage] not in NUMBER_TYPES:
            self.chainage = -1
        own = {self.name, self.colour, self.style, self.breakline, self.chainage} | set(keys)
        self.attributes = [(i, fields.at(i).name()) for i in range(fields.count()) if i not in own]

    def is_set(self, attributes, i):
        if i < 0 or _is_null(attributes[i]):
            return False
        return self.types[i] != QVariant.String or str(attributes[i]) != ""

    def text(self, attributes, i):
        return str(attributes[i]) if self.is_set(attributes, i) else None

    def attribute_values(self, attributes):
        out = []
        for i, name in self.attributes:
            if not self.is_set(attributes, i):
                continue
            value = attributes[i]
            if i == self.type and str(value).lower() == "super":
                continue
            if i == self.closed:
                continue
            kind = self.types[i]
            if kind in INTEGER_TYPES or kind == QVariant.Bool:
                out.append((name, "integer", str(int(value))))
            elif kind == QVariant.Double:
                number = float(value)
                if math.isfinite(number):
                    out.append((name, "real", repr(number)))
            else:
                out.append((name, "text", _field_text(value)))
        return out


def _field_text(value):
    # Dates as GDAL gives them in its text form, so the driver and the plugin write the same.
    if isinstance(value, QDateTime):
        return value.toString("yyyy/MM/dd HH:mm:ss")
    if isinstance(value, QDate):
        return value.toString("yyyy/MM/dd")
    if isinstance(value, QTime):
        return value.toString("HH:mm:ss")
    return str(value)


def geometry_parts(geometry):
    """(part, is_ring) for every point and line of a geometry, curves made linear,
    each ring of a polygon a line of its own."""
    g = geometry.constGet()
    if g is None or g.isEmpty():
        return []
    if QgsWkbTypes.isCurvedType(g.wkbType()):
        g = _linear(geometry)
    parts = []
    todo = [(g, False)]
    while todo:
        part, ring = todo.pop()
        flat = QgsWkbTypes.flatType(part.wkbType())
        if flat in (QgsWkbTypes.Polygon, QgsWkbTypes.Triangle):
            rings = [part.exteriorRing()] + [part.interiorRing(i) for i in range(part.numInteriorRings())]
            todo.extend((r, True) for r in reversed(rings) if r is not None)
        elif QgsWkbTypes.isMultiType(flat) or flat == QgsWkbTypes.GeometryCollection:
            todo.extend((part.geometryN(i), False) for i in reversed(range(part.numGeometries())))
        elif not part.isEmpty() and flat in (QgsWkbTypes.Point, QgsWkbTypes.LineString):
            parts.append((part, ring))
    return parts


def _linear(geometry):
    """A curved geometry made linear by GDAL itself, with the vertices the 12DA
    driver writes for it (steps of OGR_ARC_STEPSIZE, 4 degrees); by QGIS in the
    same steps where GDAL's Python bindings are missing."""
    try:
        from osgeo import ogr

        linear = ogr.CreateGeometryFromWkb(bytes(geometry.asWkb())).GetLinearGeometry()
        g = QgsGeometry()
        g.fromWkb(bytes(linear.ExportToIsoWkb()))
        if not g.isNull():
            return g.constGet().clone()
    except Exception:  # no bindings, or a geometry GDAL does not take
        pass
    return geometry.constGet().segmentize(math.radians(4), QgsAbstractGeometry.MaximumAngle)


def _coordinates(part):
    if QgsWkbTypes.flatType(part.wkbType()) == QgsWkbTypes.Point:
        return [part.x()], [part.y()], [part.z()] if part.is3D() else None
    n = part.numPoints()
    xs = [part.xAt(i) for i in range(n)]
    ys = [part.yAt(i) for i in range(n)]
    zs = [part.zAt(i) for i in range(n)] if part.is3D() else None
    return xs, ys, zs


def feature_strings(feature, plan):
    """The strings of one feature, as dicts for the export worker."""
    attributes = feature.attributes()
    # Without a colour field, the colour of the feature's style.
    colour = plan.text(attributes, plan.colour) if plan.colour >= 0 else colour_of_symbol(
        feature.embeddedSymbol() if hasattr(feature, "embeddedSymbol") else None)
    common = {
        "name": plan.text(attributes, plan.name),
        "colour": colour,
        "style": plan.text(attributes, plan.style),
        "breakline": plan.text(attributes, plan.breakline),
        "chainage": float(attributes[plan.chainage]) if plan.is_set(attributes, plan.chainage) else None,
        "attributes": plan.attribute_values(attributes),
    }
    closed_field = plan.is_set(attributes, plan.closed) and int(attributes[plan.closed]) != 0
    out = []
    for part, ring in geometry_parts(feature.geometry()):
        xs, ys, zs = _coordinates(part)
        closed = False
        # A ring ends on its first vertex: the string says it is closed instead.
        if len(xs) > 2 and xs[0] == xs[-1] and ys[0] == ys[-1] and (ring or closed_field):
            closed = True
            xs, ys = xs[:-1], ys[:-1]
            zs = zs[:-1] if zs is not None else None
        s = dict(common)
        s.update(x=xs, y=ys, z=zs, closed=closed)
        out.append(s)
    return out
