"""The Processing algorithms of the velmorak provider.

The four conversions run the bundled converter (native.py) on links or
copies of their inputs in a folder of their own, then move what it wrote to
the outputs the user chose. The export reads the layers' features here and
has the 12d library write them in a worker process. Nothing here needs the
QGIS window: batch runs, models and qgis_process run them the same way.
"""
import json
import os
import shutil
import tempfile

from qgis.core import (
    QgsCoordinateReferenceSystem,
    QgsFeatureRequest,
    QgsProcessing,
    QgsProcessingAlgorithm,
    QgsProcessingException,
    QgsProcessingOutputFile,
    QgsProcessingOutputNumber,
    QgsProcessingParameterBoolean,
    QgsProcessingParameterEnum,
    QgsProcessingParameterFile,
    QgsProcessingParameterFileDestination,
    QgsProcessingParameterFolderDestination,
    QgsProcessingParameterMultipleLayers,
    QgsProcessingParameterString,
    QgsProcessingUtils,
)

from . import native
from .feature_strings import FieldPlan, feature_strings, key_fields, model_name

D12_FILTER = "12d ASCII (*.12da *.4da *.12daz *.12DA *.4DA *.12DAZ)"
MIF_FILTER = "MapInfo Interchange (*.mif *.MIF)"


def _move(source, target):
    """Moves a finished output to where the user wants it, over an earlier one."""
    folder = os.path.dirname(os.path.abspath(target))
    os.makedirs(folder, exist_ok=True)
    try:
        os.replace(source, target)
    except OSError:  # another file system, or a target Windows keeps
        shutil.copy2(source, target)
        os.remove(source)


def _mid_of(mif_path):
    stem, _ = os.path.splitext(mif_path)
    return stem + (".MID" if mif_path.endswith(".MIF") else ".mid")


def _warn(feedback, text):
    if hasattr(feedback, "pushWarning"):
        feedback.pushWarning(text)
    else:
        feedback.reportError(text, False)


class Staging:
    """A folder of the run's own, holding links or copies of its inputs; the converter's current folder."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="velmorak-", dir=QgsProcessingUtils.tempFolder())
        self.inputs = set()

    def add(self, path, name=None):
        """Puts `path` in the folder under `name` (its own by default); returns the name."""
        name = name or os.path.basename(path)
        native.link_or_copy(path, os.path.join(self.folder, name))
        self.inputs.add(name)
        return name

    def add_layer(self, mif_path, stem=None):
        """A MIF layer with its .mid and .tab, which the converter finds by the layer's name."""
        own_stem = os.path.splitext(os.path.basename(mif_path))[0]
        stem = stem or own_stem
        name = self.add(mif_path, stem + os.path.splitext(mif_path)[1])
        for extension in (".mid", ".tab"):
            found = native.sibling(mif_path, extension)
            if found:
                self.add(found, stem + os.path.splitext(found)[1])
        return name

    def add_header(self, header, beside):
        """The header .mif whose projection the new layers take: the one given,
        else a Header.mif beside the input, put where the converter looks for it."""
        source = header or native.find_in_folder(os.path.dirname(os.path.abspath(beside)), "Header.mif")
        if source:
            self.add(source, "Header.mif")
        return source

    def made(self):
        """Every file the run wrote: all but its inputs, relative to the folder."""
        out = []
        for root, _, files in os.walk(self.folder):
            for f in files:
                rel = os.path.relpath(os.path.join(root, f), self.folder)
                if rel not in self.inputs:
                    out.append(rel)
        return sorted(out)

    def path(self, rel):
        return os.path.join(self.folder, rel)

    def close(self):
        shutil.rmtree(self.folder, ignore_errors=True)


class VelmorakAlgorithm(QgsProcessingAlgorithm):
    """What every conversion shares: the group, the help and the converter run."""

    def group(self):
        return "12d ASCII"

    def groupId(self):
        return "d12"

    def createInstance(self):
        return type(self)()

    def helpUrl(self):
        return ""

    def run_converter(self, staging, arguments, feedback):
        try:
            args = [native.converter_path(), "-q"] + arguments
        except native.NativeError as e:
            raise QgsProcessingException(str(e))
        feedback.pushCommandInfo(" ".join(["velmorak", "-q"] + arguments))
        feedback.setProgress(10)
        try:
            result = native.run(args, staging.folder, feedback)
        except native.NativeError as e:
            raise QgsProcessingException(str(e))
        except OSError as e:
            raise QgsProcessingException(f"The velmorak converter could not be started: {e}")
        for line in result.lines:
            feedback.pushConsoleInfo(line)
        for message in result.messages(("WARNING", "CHECK")):
            _warn(feedback, message)
        if result.status != 0:
            errors = result.messages(("ERROR", "SORRY")) or result.messages(("CHECK",)) or result.lines
            raise QgsProcessingException(
                "\n".join(errors) or f"The velmorak converter stopped with status {result.status}.")
        feedback.setProgress(90)
        return result


class BreaklinesAlgorithm(VelmorakAlgorithm):
    INPUT, HIPDATA, HEADER, OUTPUT = "INPUT", "HIPDATA", "HEADER", "OUTPUT"

    def name(self):
        return "breaklines"

    def displayName(self):
        return "12d ASCII to MIF breaklines"

    def shortHelpString(self):
        return ("Converts a 12d ASCII file (.12da, .4da, or a .12daz archive) into a MapInfo breakline layer "
                "(.mif with its .mid): one polyline per string and one point per vertex with an elevation. "
                "With hipdata, the hipdata blocks of super strings are converted too. The layer takes the "
                "projection of the header .mif given, else of a Header.mif beside the input, else a NonEarth "
                "header.")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterFile(self.INPUT, "12d ASCII file", fileFilter=D12_FILTER))
        self.addParameter(QgsProcessingParameterBoolean(self.HIPDATA, "Convert hipdata blocks too (-hip)", False))
        self.addParameter(QgsProcessingParameterFile(
            self.HEADER, "Header .mif for the projection (default: Header.mif beside the input)",
            fileFilter=MIF_FILTER, optional=True))
        self.addParameter(QgsProcessingParameterFileDestination(self.OUTPUT, "Breaklines", MIF_FILTER))

    def processAlgorithm(self, parameters, context, feedback):
        source = self.parameterAsFile(parameters, self.INPUT, context)
        header = self.parameterAsFile(parameters, self.HEADER, context)
        output = self.parameterAsFileOutput(parameters, self.OUTPUT, context)
        staging = Staging()
        try:
            name = staging.add(source)
            staging.add_header(header, source)
            options = ["-hip"] if self.parameterAsBoolean(parameters, self.HIPDATA, context) else []
            self.run_converter(staging, options + [name], feedback)
            for extension in (".mif", ".mid"):
                made = staging.path(name + extension)
                if not os.path.isfile(made):
                    raise QgsProcessingException(f"The converter wrote no {name}{extension}.")
                _move(made, output if extension == ".mif" else _mid_of(output))
        finally:
            staging.close()
        feedback.setProgress(100)
        return {self.OUTPUT: output}


class CrossSectionsAlgorithm(VelmorakAlgorithm):
    INPUT, HEADER, OUTPUT = "INPUT", "HEADER", "OUTPUT"
    LINES, POINTS, PROFILES = "LINES", "POINTS", "PROFILES"

    def name(self):
        return "crosssections"

    def displayName(self):
        return "12d ASCII to cross-sections"

    def shortHelpString(self):
        return ("Writes one cross-section .csv (chainage against elevation) per 3D string of a 12d ASCII file "
                "into the output folder, with the <file>.Lines and <file>.Points MIF layers that locate them "
                "(the converter's -xs option).")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterFile(self.INPUT, "12d ASCII file", fileFilter=D12_FILTER))
        self.addParameter(QgsProcessingParameterFile(
            self.HEADER, "Header .mif for the projection (default: Header.mif beside the input)",
            fileFilter=MIF_FILTER, optional=True))
        self.addParameter(QgsProcessingParameterFolderDestination(self.OUTPUT, "Cross-sections folder"))
        self.addOutput(QgsProcessingOutputFile(self.LINES, "Cross-section lines layer"))
        self.addOutput(QgsProcessingOutputFile(self.POINTS, "Cross-section points layer"))
        self.addOutput(QgsProcessingOutputNumber(self.PROFILES, "Number of profiles written"))

    def processAlgorithm(self, parameters, context, feedback):
        source = self.parameterAsFile(parameters, self.INPUT, context)
        header = self.parameterAsFile(parameters, self.HEADER, context)
        folder = self.parameterAsString(parameters, self.OUTPUT, context)
        os.makedirs(folder, exist_ok=True)
        staging = Staging()
        try:
            name = staging.add(source)
            staging.add_header(header, source)
            self.run_converter(staging, ["-xs", name], feedback)
            made = staging.made()
            for rel in made:
                _move(staging.path(rel), os.path.join(folder, rel))
        finally:
            staging.close()
        profiles = sum(1 for rel in made if rel.lower().endswith(".csv"))
        feedback.pushInfo(f"{profiles} cross-section profiles written to {folder}")
        feedback.setProgress(100)
        return {
            self.OUTPUT: folder,
            self.LINES: os.path.join(folder, name + ".Lines.mif"),
            self.POINTS: os.path.join(folder, name + ".Points.mif"),
            self.PROFILES: profiles,
        }


class MifTo12daAlgorithm(VelmorakAlgorithm):
    INPUT, OUTPUT = "INPUT", "OUTPUT"

    def name(self):
        return "mif_to_12da"

    def displayName(self):
        return "MIF to 12d ASCII (2D strings)"

    def shortHelpString(self):
        return ("Converts a MapInfo Interchange layer (.mif with its .mid) into a 12d ASCII file: one 2D string "
                "per Line, Pline and Pline section, named by the object's first attribute.")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterFile(self.INPUT, "MIF layer", fileFilter=MIF_FILTER))
        self.addParameter(QgsProcessingParameterFileDestination(self.OUTPUT, "12d ASCII file", "12d ASCII (*.12da)"))

    def processAlgorithm(self, parameters, context, feedback):
        source = self.parameterAsFile(parameters, self.INPUT, context)
        output = self.parameterAsFileOutput(parameters, self.OUTPUT, context)
        staging = Staging()
        try:
            name = staging.add_layer(source)
            self.run_converter(staging, [name], feedback)
            made = [rel for rel in staging.made() if rel.lower().endswith(".12da")]
            if len(made) != 1:
                raise QgsProcessingException("The converter wrote no .12da file.")
            _move(staging.path(made[0]), output)
        finally:
            staging.close()
        feedback.setProgress(100)
        return {self.OUTPUT: output}


class Breaklines3dAlgorithm(VelmorakAlgorithm):
    POINTS, LINES, OUTPUT, DANGLES, UNSNAPPED = "POINTS", "LINES", "OUTPUT", "DANGLES", "UNSNAPPED"

    def name(self):
        return "breaklines_3d"

    def displayName(self):
        return "MIF points and lines to 3D breaklines"

    def shortHelpString(self):
        return ("Makes 3D breaklines (a 12d ASCII file of 3D strings) from a MIF lines layer, whose vertices take "
                "the elevations of the points of a MIF points layer snapped onto them, interpolated along each "
                "line (the converter's -zln option). Leave the lines layer empty when the points layer holds "
                "both. The report layers list the lines whose ends did not snap (dangles) and the points no "
                "vertex took.")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterFile(self.POINTS, "Points layer (.mif)", fileFilter=MIF_FILTER))
        self.addParameter(QgsProcessingParameterFile(
            self.LINES, "Lines layer (.mif; default: the points layer)", fileFilter=MIF_FILTER, optional=True))
        self.addParameter(QgsProcessingParameterFileDestination(self.OUTPUT, "3D breaklines", "12d ASCII (*.12da)"))
        self.addParameter(QgsProcessingParameterFileDestination(
            self.DANGLES, "Dangles report layer", MIF_FILTER, optional=True, createByDefault=False))
        self.addParameter(QgsProcessingParameterFileDestination(
            self.UNSNAPPED, "Unsnapped points report layer", MIF_FILTER, optional=True, createByDefault=False))

    def processAlgorithm(self, parameters, context, feedback):
        points = self.parameterAsFile(parameters, self.POINTS, context)
        lines = self.parameterAsFile(parameters, self.LINES, context)
        output = self.parameterAsFileOutput(parameters, self.OUTPUT, context)
        reports = {}
        for key, layer in ((self.DANGLES, "_dangles"), (self.UNSNAPPED, "_unsnapped_points")):
            target = self.parameterAsFileOutput(parameters, key, context)
            if target:
                reports[key] = (layer, target)
        staging = Staging()
        try:
            if lines and os.path.abspath(lines) != os.path.abspath(points):
                lines_name = staging.add_layer(lines)
                points_stem = os.path.splitext(os.path.basename(points))[0]
                # Two layers of one name from two folders: the points one is
                # renamed here, the output is named after the lines layer.
                if points_stem.lower() == os.path.splitext(lines_name)[0].lower():
                    points_stem = "points-" + points_stem
                arguments = [staging.add_layer(points, points_stem), lines_name]
            else:
                arguments = [staging.add_layer(points)]
            self.run_converter(staging, ["-zln"] + arguments, feedback)
            made = staging.made()
            strings = [rel for rel in made if rel.lower().endswith(".12da")]
            if len(strings) != 1:
                raise QgsProcessingException("The converter wrote no .12da file.")
            _move(staging.path(strings[0]), output)
            results = {self.OUTPUT: output}
            for key, (layer, target) in reports.items():
                for extension in (".mif", ".mid"):
                    if os.path.isfile(staging.path(layer + extension)):
                        _move(staging.path(layer + extension), target if extension == ".mif" else _mid_of(target))
                results[key] = target
        finally:
            staging.close()
        feedback.setProgress(100)
        return results


class Export12daAlgorithm(VelmorakAlgorithm):
    INPUT, NAME_FIELD, COLOUR_FIELD, ENCODING, OUTPUT = "INPUT", "NAME_FIELD", "COLOUR_FIELD", "ENCODING", "OUTPUT"
    ENCODINGS = ["UTF-8", "UTF-16"]

    def name(self):
        return "export_12da"

    def displayName(self):
        return "Export layers to 12d ASCII"

    def shortHelpString(self):
        return ("Writes vector layers into one 12d ASCII file (.12da, or a .12daz archive), a model per layer "
                "and a super string per point, line and polygon ring, with every field: the name field "
                "(default: a field \"name\", else the first text field), the colour field (default: \"colour\" "
                "or \"color\"), the fields style, breakline and chainage, and every other field as an attribute "
                "(a field \"group/value\" is the attribute value of group \"group\"). UTF-16 writes UTF-16LE "
                "with CRLF line ends. Curves are made linear. A file written earlier is replaced only when the "
                "new one is whole.")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterMultipleLayers(
            self.INPUT, "Vector layers (one model each)", QgsProcessing.TypeVectorAnyGeometry))
        self.addParameter(QgsProcessingParameterString(
            self.NAME_FIELD, "Field of the string names", optional=True))
        self.addParameter(QgsProcessingParameterString(
            self.COLOUR_FIELD, "Field of the string colours", optional=True))
        self.addParameter(QgsProcessingParameterEnum(self.ENCODING, "Encoding", self.ENCODINGS, defaultValue=0))
        self.addParameter(QgsProcessingParameterFileDestination(
            self.OUTPUT, "12d ASCII file", "12d ASCII (*.12da);;12d ASCII archive (*.12daz)"))

    def processAlgorithm(self, parameters, context, feedback):
        layers = self.parameterAsLayerList(parameters, self.INPUT, context)
        name_field = self.parameterAsString(parameters, self.NAME_FIELD, context)
        colour_field = self.parameterAsString(parameters, self.COLOUR_FIELD, context)
        encoding = self.ENCODINGS[self.parameterAsEnum(parameters, self.ENCODING, context)]
        output = os.path.abspath(self.parameterAsFileOutput(parameters, self.OUTPUT, context))
        vector_layers = [layer for layer in layers if hasattr(layer, "getFeatures")]
        if not vector_layers:
            raise QgsProcessingException("No vector layer to export.")
        try:
            library = native.library_path()
            python = native.python_interpreter()
        except native.NativeError as e:
            raise QgsProcessingException(str(e))
        os.makedirs(os.path.dirname(output), exist_ok=True)
        crs = self.file_crs(vector_layers, feedback)
        staging = Staging()
        try:
            job = staging.path("job.jsonl")
            total = sum(max(layer.featureCount(), 0) for layer in vector_layers) or 1
            done = strings = 0
            with open(job, "w", encoding="utf-8") as f:
                f.write(json.dumps({"path": output, "encoding": encoding}) + "\n")
                for layer in vector_layers:
                    model = model_name(layer)
                    plan = FieldPlan(layer.fields(), name_field, colour_field,
                                     lambda text, m=model: _warn(feedback, f"Layer {m}: {text}"), key_fields(layer))
                    # The model line comes with its first string, as the driver writes it: a
                    # layer of no strings leaves no empty model behind.
                    model_line = json.dumps({"model": model}) + "\n"
                    empty = 0
                    request = QgsFeatureRequest()
                    # The features' own styles (a DXF's, a MapInfo layer's) give the colours a colour field does not.
                    if plan.colour < 0 and hasattr(QgsFeatureRequest, "EmbeddedSymbols"):
                        request.setFlags(QgsFeatureRequest.EmbeddedSymbols)
                    for feature in layer.getFeatures(request):
                        if feedback.isCanceled():
                            raise QgsProcessingException("Cancelled.")
                        found = feature_strings(feature, plan)
                        if not found:
                            empty += 1
                        if found and model_line:
                            f.write(model_line)
                            model_line = None
                        for s in found:
                            f.write(json.dumps({"string": s}) + "\n")
                            strings += 1
                        done += 1
                        feedback.setProgress(80 * done / total)
                    if empty:
                        _warn(feedback, f"Layer {model}: {empty} features without geometry, or with an empty one, "
                                        "are passed over.")
            feedback.pushInfo(f"Writing {strings} strings to {output}")
            worker = os.path.join(native.PLUGIN_DIR, "export_worker.py")
            try:
                result = native.run([python, "-s", worker, library, job], staging.folder, feedback)
            except native.NativeError as e:
                raise QgsProcessingException(str(e))
            for line in result.lines:
                feedback.pushConsoleInfo(line)
            if result.status != 0:
                raise QgsProcessingException("\n".join(result.messages(("ERROR",)) or result.lines) or
                                             f"The 12d export stopped with status {result.status}.")
        finally:
            staging.close()
        # The file written whole: its CRS beside it, where the 12DA driver looks first.
        if crs is not None:
            self.write_prj(output + ".prj", crs, feedback)
        feedback.setProgress(100)
        return {self.OUTPUT: output}

    @staticmethod
    def file_crs(layers, feedback):
        """The CRS of the file: the first layer's that has one. 12d ASCII holds
        none; the .prj beside the file does, as the driver writes it."""
        crs = None
        for layer in layers:
            other = layer.crs()
            if not other.isValid():
                continue
            if other.isGeographic():
                _warn(feedback, f"Layer {layer.name()} is in degrees: 12d ASCII keeps 5 decimals of a coordinate, "
                                "about 1 m in degrees. Reproject it to a projected CRS (Reproject layer) to keep its "
                                "precision.")
            if crs is None:
                crs = other
            elif other != crs:
                _warn(feedback, f"Layer {layer.name()} is in another CRS than the layers before it; the file's .prj "
                                f"keeps theirs ({crs.description() or crs.authid()}).")
        return crs

    @staticmethod
    def write_prj(path, crs, feedback):
        """ESRI WKT, as GDAL writes it for the driver (WKT2 for a CRS that ESRI WKT cannot say)."""
        try:
            from osgeo import osr

            srs = osr.SpatialReference()
            authority, _, code = crs.authid().partition(":")
            if authority.upper() == "EPSG" and code.isdigit():
                srs.ImportFromEPSG(int(code))
            else:
                srs.ImportFromWkt(crs.toWkt(QgsCoordinateReferenceSystem.WKT2_2019))
            try:
                wkt = srs.ExportToWkt(["FORMAT=WKT1_ESRI"])
            except RuntimeError:
                wkt = ""
            wkt = wkt or srs.ExportToWkt(["FORMAT=WKT2_2019"])
        except Exception:  # GDAL's bindings missing or failing: QGIS's own ESRI WKT
            wkt = crs.toWkt(QgsCoordinateReferenceSystem.WKT1_ESRI) or crs.toWkt(QgsCoordinateReferenceSystem.WKT2_2019)
        try:
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write(wkt)
        except OSError as e:
            _warn(feedback, f"{path}: the coordinate reference system cannot be written ({e}).")


ALGORITHMS = [BreaklinesAlgorithm, CrossSectionsAlgorithm, MifTo12daAlgorithm, Breaklines3dAlgorithm,
              Export12daAlgorithm]
