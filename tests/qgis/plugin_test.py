"""The velmorak QGIS plugin in a headless QGIS, end to end.

The plugin is installed into a profile of its own (from the zip when one is
given, else laid out from the build with qgis/package.py, Linux files only)
with the native 12DA GDAL plugin out of reach (GDAL_DRIVER_PATH names an
empty folder), loaded the way qgis_process loads plugins (classFactory without
an interface, then initProcessing), and then:

- 12d ASCII files open through the plugin's Python driver: one sublayer per
  model, each with the models, features, fields, values and vertices that the
  native driver reads from the same file (read in a process of its own);
- each of the five algorithms runs once through processing.run, and its
  outputs are those the converter writes when run by hand on the same inputs
  (byte for byte), or for the export those of ogr2ogr -f 12DA with the native
  driver and the same creation options; a damaged input gives the
  converter's ERROR line as a QgsProcessingException;
- qgis_process lists the five algorithms with the plugin in the profile;
- the QGIS application (on a virtual display, xvfb-run) starts the plugin
  with its interface and adds a 12d layer, and once started again offers
  12d ASCII in its file dialogs.

Run by CTest with the system's Python (python3-qgis):
    plugin_test.py <shared-data> <linux-build> <native-gdal-plugin-dir> [plugin zip]
"""
import importlib.util
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.dont_write_bytecode = True
SHARED, BUILD, NATIVE_GDAL = (os.path.abspath(a) for a in sys.argv[1:4])
ZIP = os.path.abspath(sys.argv[4]) if len(sys.argv) > 4 and sys.argv[4] else ""
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
KATANA = os.path.join(SHARED, "data", "realworld", "12da", "katana_all_geometries_2025.12da")
SITE = os.path.join(ROOT, "examples", "site.12da")
HEADER = os.path.join(ROOT, "examples", "Header.mif")

# Before QGIS and GDAL start: no native 12DA driver, no Python driver folder
# from outside, no library named from outside, no window.
WORK = tempfile.mkdtemp(prefix="velmorak-qgis-test-")
NO_PLUGINS = os.path.join(WORK, "no-gdal-plugins")
os.makedirs(NO_PLUGINS)
os.environ["GDAL_DRIVER_PATH"] = NO_PLUGINS
os.environ["QT_QPA_PLATFORM"] = "offscreen"
for name in ("GDAL_PYTHON_DRIVER_PATH", "VELMORAK_LIBRARY", "QGIS_CUSTOM_CONFIG_PATH"):
    os.environ.pop(name, None)
CONFIG = os.path.join(WORK, "config")
PROFILE = os.path.join(CONFIG, "profiles", "default")
PLUGINS = os.path.join(PROFILE, "python", "plugins")

from qgis.core import (  # noqa: E402
    QgsApplication,
    QgsMapRendererCustomPainterJob,
    QgsMapSettings,
    QgsProcessingException,
    QgsProviderRegistry,
    QgsRectangle,
    QgsSettings,
    QgsVectorLayer,
    QgsWkbTypes,
)
from qgis.PyQt.QtCore import QSize, QVariant  # noqa: E402
from qgis.PyQt.QtGui import QColor, QImage, QPainter  # noqa: E402

# The profile's settings file, where QGIS keeps it (QGIS3.ini): the plugin
# enabled there is what qgis_process loads, and the plugin writes there too.
from qgis.PyQt.QtCore import QCoreApplication, QSettings  # noqa: E402

QCoreApplication.setOrganizationName("QGIS")
QCoreApplication.setApplicationName("QGIS3")
QSettings.setDefaultFormat(QSettings.IniFormat)
QSettings.setPath(QSettings.IniFormat, QSettings.UserScope, PROFILE)
APP = QgsApplication([], False, PROFILE)
APP.initQgis()
sys.path.append("/usr/share/qgis/python/plugins")
import processing  # noqa: E402
import qgis.utils  # noqa: E402
from processing.core.Processing import Processing  # noqa: E402

Processing.initialize()
sys.path.insert(0, os.path.join(ROOT, "qgis"))
import package  # noqa: E402

ALGORITHMS = ["velmorak:breaklines", "velmorak:breaklines_3d", "velmorak:crosssections", "velmorak:export_12da",
              "velmorak:mif_to_12da"]


def install():
    """The plugin into the profile: the zip unpacked by the function of QGIS's
    Install from ZIP (which drops the execute bits), or the tree."""
    os.makedirs(PLUGINS, exist_ok=True)
    if ZIP:
        with zipfile.ZipFile(ZIP) as z:
            names = z.namelist()
        assert all(n.startswith("velmorak/") for n in names), names
        # Install from ZIP names the plugin after the folder of the zip's first metadata.txt.
        assert sorted(n for n in names if n.endswith("metadata.txt"))[0] == "velmorak/metadata.txt", names
        for needed in ("velmorak/lib/windows-x64/velmorak.dll", "velmorak/lib/windows-x64/velmorak.exe"):
            assert needed in names, f"{ZIP} lacks {needed}"
        # Its package's __init__ needs QGIS's window: the one module alone.
        found = importlib.util.spec_from_file_location(
            "qgis_unzip", "/usr/share/qgis/python/pyplugin_installer/unzip.py")
        unzip = importlib.util.module_from_spec(found)
        found.loader.exec_module(unzip)
        unzip.unzip(ZIP, PLUGINS)
    else:
        package.layout(PLUGINS, BUILD)
    print(f"plugin installed from {ZIP or BUILD}", flush=True)
    # Enabled, as Plugin Manager leaves an installed plugin; qgis_process loads only those.
    settings = QgsSettings()
    settings.setValue("PythonPlugins/velmorak", True)
    settings.sync()
    assert settings.fileName() == os.path.join(PROFILE, "QGIS", "QGIS3.ini"), settings.fileName()


def load():
    qgis.utils.plugin_paths = [PLUGINS]
    sys.path.insert(0, PLUGINS)
    qgis.utils.updateAvailablePlugins()
    assert qgis.utils.loadPlugin("velmorak"), "the plugin does not load"
    assert qgis.utils.startProcessingPlugin("velmorak"), "the plugin does not start"
    return qgis.utils.plugins["velmorak"]


# ------------------------------------------------------------ reference runs

NATIVE_DUMP = r"""
import json, sys
from osgeo import gdal, ogr
gdal.UseExceptions()
def vertices(g):
    # Every vertex in order, the rings and parts of a geometry one after another, as QGIS lists them.
    # A compound curve's parts share their ends, which QGIS lists once.
    if g.GetGeometryCount() > 0:
        joined = ogr.GT_Flatten(g.GetGeometryType()) == ogr.wkbCompoundCurve
        out = []
        for i in range(g.GetGeometryCount()):
            part = vertices(g.GetGeometryRef(i))
            out += part[1:] if joined and out else part
        return out
    return [list(p) for p in (g.GetPoints() or [])]
assert gdal.GetDriverByName("12DA").GetMetadataItem("DRIVER_LANGUAGE") != "PYTHON"
ds = gdal.OpenEx(sys.argv[1], gdal.OF_VECTOR)
out = []
for i in range(ds.GetLayerCount()):
    layer = ds.GetLayer(i)
    d = layer.GetLayerDefn()
    fields = [d.GetFieldDefn(i).GetName() for i in range(d.GetFieldCount())]
    features = []
    for f in layer:
        g = f.GetGeometryRef()
        geometry = None
        if g is not None:
            geometry = [g.GetGeometryName().upper(), bool(g.Is3D()), vertices(g)]
        values = [f.GetField(i) for i in range(d.GetFieldCount())]
        features.append([f.GetFID(), [int(v) if isinstance(v, bool) else v for v in values], geometry])
    out.append([layer.GetName(), fields, features])
print(json.dumps(out))
"""


def native_env():
    env = dict(os.environ, GDAL_DRIVER_PATH=NATIVE_GDAL)
    env.pop("GDAL_PYTHON_DRIVER_PATH", None)
    return env


def native_reading(path):
    """Layers, fields and features of a file as the native 12DA driver reads it."""
    run = subprocess.run([sys.executable, "-c", NATIVE_DUMP, path], env=native_env(), capture_output=True,
                         text=True)
    assert run.returncode == 0, run.stderr
    return json.loads(run.stdout)


def with_corpus(*paths):
    """The paths that exist: the shared corpus is skipped with a message when absent."""
    for path in paths:
        if not os.path.isfile(path):
            print(f"skipped, not found: {path}")
    return [path for path in paths if os.path.isfile(path)]


def converter_run(inputs, args):
    """The converter run by hand in a folder of copies of `inputs`; returns the folder."""
    folder = tempfile.mkdtemp(dir=WORK)
    for source, name in inputs:
        shutil.copy2(source, os.path.join(folder, name))
    subprocess.run([os.path.join(BUILD, "velmorak"), "-q"] + args, cwd=folder, stdin=subprocess.DEVNULL,
                   check=True, capture_output=True)
    return folder


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def mif_objects(path):
    """The objects of a MIF file counted in its text, after its Data line."""
    count, data = 0, False
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            word = line.strip().split(" ", 1)[0].lower()
            if word == "data":
                data = True
            elif data and word in ("point", "line", "pline", "region", "text", "none"):
                count += 1
    return count


def same(a, b):
    """Values equal, NaN equal to NaN, lists item by item."""
    if isinstance(a, (list, tuple)) and isinstance(b, (list, tuple)):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, float) and isinstance(b, float) and math.isnan(a) and math.isnan(b):
        return True
    return a == b


def qgis_value(value):
    if value is None or (isinstance(value, QVariant) and value.isNull()):
        return None
    if isinstance(value, bool):
        return int(value)
    return value


def qgis_reading(layer):
    """A QGIS layer in the form of native_reading's layers."""
    fields = [f.name() for f in layer.fields()]
    features = []
    for f in sorted(layer.getFeatures(), key=lambda f: f.id()):
        g = f.geometry()
        geometry = None
        if not g.isNull():
            c = g.constGet()
            points = [[v.x(), v.y(), v.z()] if c.is3D() else [v.x(), v.y()] for v in c.vertices()]
            geometry = [QgsWkbTypes.displayString(QgsWkbTypes.flatType(c.wkbType())).upper(), c.is3D(), points]
        features.append([f.id(), [qgis_value(v) for v in f.attributes()], geometry])
    return fields, features


def sublayers(path):
    """The sublayers QGIS offers for a file (Add Vector Layer, a dropped file), as layers."""
    details = QgsProviderRegistry.instance().querySublayers(path)
    layers = []
    for d in details:
        layer = QgsVectorLayer(d.uri(), d.name(), d.providerKey())
        assert layer.isValid(), f"{d.uri()} does not open"
        layers.append(layer)
    return details, layers


def rendered_pixels(layers):
    """How many pixels of a 400 x 300 map of `layers` are not the background."""
    settings = QgsMapSettings()
    settings.setLayers(layers)
    extent = QgsRectangle()
    for layer in layers:
        extent.combineExtentWith(layer.extent())
    settings.setExtent(extent.buffered(max(extent.width(), extent.height()) * 0.05 or 1))
    settings.setOutputSize(QSize(400, 300))
    settings.setBackgroundColor(QColor(255, 255, 255))
    image = QImage(QSize(400, 300), QImage.Format_ARGB32)
    image.fill(QColor(255, 255, 255))
    painter = QPainter(image)
    job = QgsMapRendererCustomPainterJob(settings, painter)
    job.start()
    job.waitForFinished()
    painter.end()
    white = QColor(255, 255, 255).rgb()
    return sum(1 for y in range(0, 300, 2) for x in range(0, 400, 2) if image.pixel(x, y) != white)


# ------------------------------------------------------------ the tests

class PluginTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        install()
        cls.plugin = load()
        cls.out = tempfile.mkdtemp(dir=WORK)

    def test_metadata_and_provider(self):
        with open(os.path.join(PLUGINS, "velmorak", "metadata.txt"), encoding="utf-8") as f:
            metadata = dict(line.split("=", 1) for line in f.read().splitlines() if "=" in line)
        self.assertEqual(metadata["qgisMinimumVersion"], "3.22")
        self.assertEqual(metadata["hasProcessingProvider"], "yes")
        self.assertEqual(metadata["version"], package.project_version())
        self.assertEqual(metadata["author"], "velmorak developers")
        self.assertTrue(os.path.isfile(os.path.join(PLUGINS, "velmorak", metadata["icon"])))
        provider = QgsApplication.processingRegistry().providerById("velmorak")
        self.assertIsNotNone(provider)
        self.assertEqual(sorted(a.id() for a in provider.algorithms()), ALGORITHMS)

    def test_python_driver_is_the_one_registered(self):
        from osgeo import gdal

        self.assertEqual(self.plugin.driver, "python")
        driver = gdal.GetDriverByName("12DA")
        self.assertIsNotNone(driver)
        self.assertEqual(driver.GetMetadataItem("DRIVER_LANGUAGE"), "PYTHON")

    def test_files_open_as_the_native_driver_reads_them(self):
        for path in with_corpus(KATANA, SITE):
            with self.subTest(path=os.path.basename(path)):
                expected = native_reading(path)
                details, layers = sublayers(path)
                self.assertEqual([d.name() for d in details], [name for name, _, _ in expected])
                self.assertEqual({d.providerKey() for d in details}, {"ogr"})
                self.assertGreater(len(expected), 0)
                for layer, (name, fields, features) in zip(layers, expected):
                    got_fields, got_features = qgis_reading(layer)
                    self.assertEqual(got_fields, fields, name)
                    self.assertEqual(layer.featureCount(), len(features), name)
                    self.assertEqual(len(got_features), len(features), name)
                    for got, want in zip(got_features, features):
                        self.assertTrue(same(got, want), f"{name}: {got} != {want}")
                self.assertGreater(rendered_pixels(layers), 50, "the strings do not show on a map")

    def test_python_for_the_export_worker(self):
        from velmorak import native

        qgis_win = "C:\\Program Files\\QGIS 3.34.4\\bin\\qgis-ltr-bin.exe"
        apps_win = "C:\\PROGRA~1\\QGIS33~1.4\\apps\\Python312"
        # (sys.executable, sys.exec_prefix, Windows, files there, on PATH, the one taken)
        cases = [
            ("/usr/bin/python3", "/usr", False, {"/usr/bin/python3"}, None, "/usr/bin/python3"),
            ("/usr/bin/qgis", "/usr", False, {"/usr/bin/python3", "/usr/bin/python"}, None, "/usr/bin/python3"),
            ("/opt/qgis/bin/qgis", "/opt/py", False, {"/opt/py/bin/python3"}, None, "/opt/py/bin/python3"),
            ("/usr/bin/qgis", "/usr", False, set(), "/home/u/bin/python3", "/home/u/bin/python3"),
            (qgis_win, apps_win, True, {apps_win + "\\python.exe"}, None, apps_win + "\\python.exe"),
            (qgis_win, apps_win, True, {apps_win + "\\python.exe", "C:\\Program Files\\QGIS 3.34.4\\bin\\python3.exe"},
             None, "C:\\Program Files\\QGIS 3.34.4\\bin\\python3.exe"),
            (apps_win + "\\python.exe", apps_win, True, {apps_win + "\\python.exe"}, None, apps_win + "\\python.exe"),
        ]
        for executable, prefix, windows, files, on_path, taken in cases:
            with self.subTest(executable=executable, files=files):
                self.assertEqual(native.python_interpreter(executable, prefix, windows, files.__contains__,
                                                           lambda name, p=on_path: p if name.startswith("python3") else None),
                                 taken)
        with self.assertRaises(native.NativeError):
            native.python_interpreter("/usr/bin/qgis", "/usr", False, lambda c: False, lambda name: None)

    def test_native_driver_is_kept(self):
        # A QGIS whose GDAL has the native plugin: the plugin leaves it to open the files.
        script = r"""
import json, os, sys
from qgis.core import QgsApplication, QgsVectorLayer
app = QgsApplication([], False, sys.argv[2])
app.initQgis()
sys.path.insert(0, sys.argv[1])
import velmorak
from osgeo import gdal
plugin = velmorak.classFactory(None)
layer = QgsVectorLayer(sys.argv[3], "site", "ogr")
print(json.dumps({"driver": plugin.driver, "language": gdal.GetDriverByName("12DA").GetMetadataItem("DRIVER_LANGUAGE"),
                  "path": os.environ.get("GDAL_PYTHON_DRIVER_PATH"), "features": layer.featureCount()}))
"""
        run = subprocess.run([sys.executable, "-c", script, PLUGINS, os.path.join(WORK, "native"), SITE],
                             env=native_env(), capture_output=True, text=True, timeout=300)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(json.loads(run.stdout.splitlines()[-1]),
                         {"driver": "native", "language": None, "path": None,
                          "features": len(native_reading(SITE)[0][2])})

    def test_restart_lists_12d_files_in_the_file_dialogs_and_the_browser(self):
        from velmorak import gdal_setup

        folder = os.path.join(PLUGINS, "velmorak", "gdal_driver")
        key = "prepend|GDAL_PYTHON_DRIVER_PATH="
        settings = QgsSettings()
        # (variables kept, switched on, what the plugin does, what they hold after)
        cases = [
            (["overwrite|FOO=bar"], False, "left", ["overwrite|FOO=bar"]),
            (["overwrite|FOO=bar"], True, "added", ["overwrite|FOO=bar", key + folder + os.pathsep]),
            ([], False, "added", [key + folder + os.pathsep]),
            ([key + folder + os.pathsep], True, "present", [key + folder + os.pathsep]),
            ([key + "/elsewhere" + os.pathsep], True, "added", [key + folder + os.pathsep]),
        ]
        for variables, use, outcome, after in cases:
            with self.subTest(variables=variables, use=use):
                settings.setValue("qgis/customEnvVars", variables)
                settings.setValue("qgis/customEnvVarsUse", use)
                self.assertEqual(gdal_setup.remember_for_startup(folder), outcome)
                self.assertEqual(settings.value("qgis/customEnvVars"), after)
                self.assertEqual(settings.value("qgis/customEnvVarsUse", type=bool), use or outcome == "added")
        # QGIS sets the variable before it registers GDAL's drivers: a QGIS
        # started so offers 12d ASCII in its file dialogs and its Browser.
        startup = r"""
import json, os, sys
from qgis.core import QgsApplication, QgsProviderRegistry
app = QgsApplication([], False, sys.argv[2])
app.initQgis()
items = [p.createDataItem(sys.argv[1], None) for p in QgsApplication.dataItemProviderRegistry().providers()]
print(json.dumps({"filter": "12d ASCII" in QgsProviderRegistry.instance().fileVectorFilters(),
                  "browser": any(i is not None and i.name() == os.path.basename(sys.argv[1]) for i in items)}))
"""
        env = dict(os.environ, GDAL_PYTHON_DRIVER_PATH=folder + os.pathsep)
        run = subprocess.run([sys.executable, "-c", startup, SITE, os.path.join(WORK, "restarted")], env=env,
                             capture_output=True, text=True, timeout=300)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(json.loads(run.stdout.splitlines()[-1]), {"filter": True, "browser": True})

    def test_breaklines(self):
        cases = [
            # the Header.mif beside the input gives the projection
            (SITE, {"HIPDATA": False}, [(SITE, "site.12da"), (HEADER, "Header.mif")], []),
            # a header given, hipdata converted too
            (KATANA, {"HIPDATA": True, "HEADER": HEADER}, [(KATANA, "k.12da"), (HEADER, "Header.mif")], ["-hip"]),
        ]
        for source, params, inputs, options in cases:
            if source not in with_corpus(source):
                continue
            with self.subTest(source=os.path.basename(source)):
                output = os.path.join(self.out, "breaklines", os.path.basename(source) + "-out.mif")
                result = processing.run("velmorak:breaklines", dict(params, INPUT=source, OUTPUT=output))
                self.assertEqual(result["OUTPUT"], output)
                by_hand = converter_run(inputs, options + [inputs[0][1]])
                for extension in (".mif", ".mid"):
                    self.assertEqual(read_bytes(output[:-4] + extension),
                                     read_bytes(os.path.join(by_hand, inputs[0][1] + extension)))
                with open(HEADER, encoding="utf-8") as f:
                    coordsys = next(line.strip() for line in f if line.strip().lower().startswith("coordsys"))
                with open(output, encoding="utf-8") as f:
                    self.assertIn(coordsys, f.read())
                layer = QgsVectorLayer(output, "breaklines", "ogr")
                self.assertTrue(layer.isValid())
                self.assertGreater(layer.featureCount(), 0)
                self.assertEqual(layer.featureCount(), mif_objects(output))

    def test_crosssections(self):
        folder = os.path.join(self.out, "sections")
        result = processing.run("velmorak:crosssections", {"INPUT": SITE, "OUTPUT": folder})
        by_hand = converter_run([(SITE, "site.12da"), (HEADER, "Header.mif")], ["-xs", "site.12da"])
        made = sorted(n for n in os.listdir(by_hand) if n not in ("site.12da", "Header.mif"))
        self.assertEqual(sorted(os.listdir(folder)), made)
        for name in made:
            self.assertEqual(read_bytes(os.path.join(folder, name)), read_bytes(os.path.join(by_hand, name)), name)
        self.assertEqual(result["PROFILES"], sum(1 for n in made if n.endswith(".csv")))
        self.assertGreater(result["PROFILES"], 0)
        for key in ("LINES", "POINTS"):
            self.assertTrue(QgsVectorLayer(result[key], key, "ogr").isValid(), result[key])

    def test_mif_conversions(self):
        # The breakline layer of the example: polylines with their points, elevations first.
        layer = os.path.join(self.out, "mif", "site.mif")
        processing.run("velmorak:breaklines", {"INPUT": SITE, "OUTPUT": layer})
        mid = layer[:-4] + ".mid"

        output = os.path.join(self.out, "mif", "site-2d.12da")
        processing.run("velmorak:mif_to_12da", {"INPUT": layer, "OUTPUT": output})
        by_hand = converter_run([(layer, "site.mif"), (mid, "site.mid")], ["site.mif"])
        self.assertEqual(read_bytes(output), read_bytes(os.path.join(by_hand, "site.12da")))
        self.assertGreater(sum(len(f) for _, _, f in native_reading(output)), 0)

        output = os.path.join(self.out, "mif", "site-3d.12da")
        dangles = os.path.join(self.out, "mif", "dangles.mif")
        unsnapped = os.path.join(self.out, "mif", "unsnapped.mif")
        result = processing.run("velmorak:breaklines_3d", {
            "POINTS": layer, "OUTPUT": output, "DANGLES": dangles, "UNSNAPPED": unsnapped})
        self.assertEqual(result["OUTPUT"], output)
        by_hand = converter_run([(layer, "site.mif"), (mid, "site.mid")], ["-zln", "site.mif"])
        self.assertEqual(read_bytes(output), read_bytes(os.path.join(by_hand, "site.12da")))
        for mine, theirs in ((dangles, "_dangles"), (unsnapped, "_unsnapped_points")):
            for extension in (".mif", ".mid"):
                self.assertEqual(read_bytes(mine[:-4] + extension),
                                 read_bytes(os.path.join(by_hand, theirs + extension)), theirs + extension)

    def test_in_a_model(self):
        # The modeller's way: the breaklines of one step are the input of the next.
        from qgis.core import (QgsProcessingModelAlgorithm, QgsProcessingModelChildAlgorithm,
                               QgsProcessingModelChildParameterSource as Source, QgsProcessingModelOutput,
                               QgsProcessingModelParameter, QgsProcessingParameterFile)

        model = QgsProcessingModelAlgorithm("chain", "tests")
        model.addModelParameter(QgsProcessingParameterFile("source", "12d file"), QgsProcessingModelParameter("source"))
        breaklines = QgsProcessingModelChildAlgorithm("velmorak:breaklines")
        breaklines.setChildId("b")
        breaklines.addParameterSources("INPUT", [Source.fromModelParameter("source")])
        breaklines.addParameterSources("HIPDATA", [Source.fromStaticValue(False)])
        strings = QgsProcessingModelChildAlgorithm("velmorak:mif_to_12da")
        strings.setChildId("m")
        strings.addParameterSources("INPUT", [Source.fromChildOutput("b", "OUTPUT")])
        final = QgsProcessingModelOutput("final", "final")
        final.setChildId("m")
        final.setChildOutputName("OUTPUT")
        strings.setModelOutputs({"final": final})
        model.addChildAlgorithm(breaklines)
        model.addChildAlgorithm(strings)
        model.updateDestinationParameters()
        output = os.path.join(self.out, "model", "chain.12da")
        os.makedirs(os.path.dirname(output))
        result = processing.run(model, {"source": SITE, "m:final": output})
        self.assertEqual(result["m:final"], output)
        # The step between wrote a temporary OUTPUT.mif, whose name the model of the strings takes.
        layer = converter_run([(SITE, "site.12da"), (HEADER, "Header.mif")], ["site.12da"])
        by_hand = converter_run([(os.path.join(layer, "site.12da.mif"), "OUTPUT.mif"),
                                 (os.path.join(layer, "site.12da.mid"), "OUTPUT.mid")], ["OUTPUT.mif"])
        self.assertEqual(read_bytes(output), read_bytes(os.path.join(by_hand, "OUTPUT.12da")))

    def test_converter_errors_stop_the_algorithm(self):
        damaged = os.path.join(self.out, "damaged.12da")
        with open(damaged, "w", encoding="utf-8") as f:
            f.write('null -999\nmodel "A"\nstring 3d {\n data {\n  1 2 abc\n }\n}\n')
        with self.assertRaises(QgsProcessingException) as caught:
            processing.run("velmorak:breaklines", {"INPUT": damaged, "OUTPUT": os.path.join(self.out, "d.mif")})
        self.assertIn("ERROR - Reading .12da file", str(caught.exception))
        self.assertIn("1 2 abc", str(caught.exception))
        self.assertFalse(os.path.exists(os.path.join(self.out, "d.mif")))

    def test_export(self):
        design = self.design_layers()
        # The strings' layers; a surface's triangles (polygons) are the driver's own business.
        katana = [layer for layer in (sublayers(KATANA)[1] if with_corpus(KATANA) else [])
                  if layer.geometryType() != QgsWkbTypes.PolygonGeometry]
        cases = [
            # every model of strings of the file, as the driver reads it, with the default options
            ("katana", katana, KATANA, {}, ".12da", [layer.name() for layer in katana]),
            # points, lines, rings with holes, curves, 2D and 3D, null heights, groups, dates; a UTF-16 archive
            # a MapInfo layer without a colour field: each string the colour of its feature's pen
            ("styled", [self.styled_layer()], self.styled_mif, {}, ".12da", []),
            # (curves made linear in GDAL's own steps, and a layer without features, which leaves no model)
            ("design", design, self.design_gpkg,
             {"NAME_FIELD": "label", "COLOUR_FIELD": "paint", "ENCODING": 1}, ".12daz",
             ["-lco", "NAME_FIELD=label", "-lco", "COLOUR_FIELD=paint", "-dsco", "ENCODING=UTF-16"]),
        ]
        for name, layers, source, params, extension, options in cases:
            if not layers:
                continue
            with self.subTest(case=name):
                output = os.path.join(self.out, "export", name + extension)
                processing.run("velmorak:export_12da", dict(params, INPUT=layers, OUTPUT=output))
                reference = os.path.join(self.out, "export", name + "-ogr2ogr" + extension)
                subprocess.run(["ogr2ogr", "-f", "12DA", reference, source] + options, env=native_env(),
                               check=True, capture_output=True)
                # Both files read back the same through the native driver: the same models,
                # strings, fields, values and vertices.
                written, expected = native_reading(output), native_reading(reference)
                self.assertEqual([n for n, _, _ in written], [n for n, _, _ in expected])
                for got, want in zip(written, expected):
                    self.assertTrue(same(got, want), f"{got}\n!=\n{want}")
                # the CRS beside it, as the driver writes it (or none)
                prj = [read_bytes(p + ".prj") if os.path.exists(p + ".prj") else None for p in (output, reference)]
                self.assertEqual(prj[0], prj[1])
                self.assertEqual(prj[0] is not None, source == self.design_gpkg, "only the design layers have a CRS")
                (encoding, text), (expected_encoding, _) = self.d12_text(output), self.d12_text(reference)
                self.assertEqual(encoding, expected_encoding)
                self.assertNotIn('model "empty"', text)
                # and it opens through the plugin: a model per layer
                details, back = sublayers(output)
                self.assertEqual([d.name() for d in details], [n for n, _, _ in expected])
                self.assertEqual(sum(layer.featureCount() for layer in back), sum(len(f) for _, _, f in expected))
                self.assertGreater(len(back), 0)

    def test_export_of_curves(self):
        # Curves are made linear, each vertex on the arc (here of the circle of radius 1 about (1, 0),
        # written to 5 decimals): by GDAL, and by QGIS where GDAL's bindings fail.
        from unittest import mock
        from osgeo import ogr

        arcs = self.design_layers()[3]
        for by in ("GDAL", "QGIS"):
            with self.subTest(by=by):
                output = os.path.join(self.out, "export", f"arcs-{by}.12da")
                if by == "GDAL":
                    processing.run("velmorak:export_12da", {"INPUT": [arcs], "OUTPUT": output})
                else:
                    with mock.patch.object(ogr, "CreateGeometryFromWkb", side_effect=RuntimeError):
                        processing.run("velmorak:export_12da", {"INPUT": [arcs], "OUTPUT": output})
                ((model, fields, features),) = native_reading(output)
                self.assertEqual(model, "arcs")
                ((_, values, (kind, is3d, points)),) = features
                self.assertEqual(values[fields.index("name")], "Arc")
                self.assertEqual((kind, is3d), ("LINESTRING", False))
                self.assertGreater(len(points), 10)
                self.assertEqual(points[0], [0.0, 0.0])
                self.assertEqual(points[-1], [3.0, 0.0])
                for x, y in points[:-1]:
                    self.assertAlmostEqual(math.hypot(x - 1, y), 1, delta=2e-5)

    @staticmethod
    def d12_text(path):
        """The encoding, by its byte order mark, and the text of a 12d file (of the archive's one member)."""
        if path.endswith(".12daz"):
            with zipfile.ZipFile(path) as z:
                (member,) = z.namelist()
                data = z.read(member)
        else:
            data = read_bytes(path)
        if data.startswith(b"\xff\xfe"):
            return "UTF-16LE", data.decode("utf-16")
        return ("UTF-8" if data.startswith(b"\xef\xbb\xbf") else None), data.decode("utf-8-sig")

    def styled_layer(self):
        """A MIF layer of lines with pens of their own, written with GDAL."""
        from osgeo import ogr

        self.styled_mif = os.path.join(tempfile.mkdtemp(dir=WORK), "pens.mif")
        ds = ogr.GetDriverByName("MapInfo File").CreateDataSource(self.styled_mif)
        layer = ds.CreateLayer("pens", geom_type=ogr.wkbLineString)
        layer.CreateField(ogr.FieldDefn("label", ogr.OFTString))
        for label, style in (("orange", "PEN(w:1px,c:#FF8000,p:1px)"), ("nearly blue", "PEN(w:1px,c:#1010E0,p:1px)"),
                             ("no pen", None)):
            f = ogr.Feature(layer.GetLayerDefn())
            f.SetField("label", label)
            f.SetGeometry(ogr.CreateGeometryFromWkt("LINESTRING (0 0,1 1)"))
            if style:
                f.SetStyleString(style)
            layer.CreateFeature(f)
        ds = None
        layer = QgsVectorLayer(self.styled_mif, "pens", "ogr")
        self.assertTrue(layer.isValid())
        return layer

    def design_layers(self):
        """A GeoPackage of the geometries and field kinds a user exports, written with GDAL."""
        from osgeo import ogr

        self.design_gpkg = os.path.join(tempfile.mkdtemp(dir=WORK), "design.gpkg")
        ds = ogr.GetDriverByName("GPKG").CreateDataSource(self.design_gpkg)
        nan = float("nan")
        tables = {
            "ponds": (ogr.wkbPolygon25D, [
                ("POLYGON Z ((0 0 1,10 0 1,10 10 2,0 10 2,0 0 1),(2 2 1.5,4 2 1.5,4 4 1.5,2 2 1.5))",
                 {"label": "Pond", "paint": "blue", "Asset/Owner": "Council", "level": 1.25, "count": 3}),
                (None, {"label": "No geometry"}),
            ]),
            "kerbs": (ogr.wkbMultiLineString25D, [
                ([[(0, 0, 5.5), (1, 1, nan), (2, 1, 6.0)], [(5, 5, 1), (6, 6, 2)]],
                 {"label": "Kerb \"north\"", "paint": "red", "when": "2024-03-01", "count": 12}),
            ]),
            "marks": (ogr.wkbPoint, [
                ("POINT (100.5 200.25)", {"label": "", "paint": "yellow", "level": 1e-7}),
                ("POINT (101 201)", {"label": "Mark 2", "Asset/Owner": "Łódź 測量"}),
            ]),
            "arcs": (ogr.wkbCompoundCurve, [
                ("COMPOUNDCURVE (CIRCULARSTRING (0 0,1 1,2 0),(2 0,3 0))", {"label": "Arc"}),
            ]),
            "empty": (ogr.wkbLineString, []),
        }
        fields = [("label", ogr.OFTString), ("paint", ogr.OFTString), ("Asset/Owner", ogr.OFTString),
                  ("level", ogr.OFTReal), ("count", ogr.OFTInteger64), ("when", ogr.OFTDate)]
        from osgeo import osr

        mga56 = osr.SpatialReference()
        mga56.ImportFromEPSG(28356)
        for table, (geometry_type, rows) in tables.items():
            layer = ds.CreateLayer(table, srs=mga56, geom_type=geometry_type)
            for field, kind in fields:
                layer.CreateField(ogr.FieldDefn(field, kind))
            for geometry, values in rows:
                f = ogr.Feature(layer.GetLayerDefn())
                if isinstance(geometry, str):
                    f.SetGeometry(ogr.CreateGeometryFromWkt(geometry))
                elif geometry is not None:
                    multi = ogr.Geometry(ogr.wkbMultiLineString25D)
                    for part in geometry:
                        line = ogr.Geometry(ogr.wkbLineString25D)
                        for x, y, z in part:
                            line.AddPoint(x, y, z)
                        multi.AddGeometry(line)
                    f.SetGeometry(multi)
                for field, value in values.items():
                    f.SetField(field, value)
                layer.CreateFeature(f)
        ds = None
        layers = [QgsVectorLayer(f"{self.design_gpkg}|layername={t}", t, "ogr") for t in tables]
        for layer in layers:
            self.assertTrue(layer.isValid(), layer.source())
        return layers


class QgisProcessTest(unittest.TestCase):
    def test_lists_the_algorithms(self):
        # qgis_process.bin itself: Debian's qgis_process script adds an option QGIS 3.22 refuses.
        env = dict(os.environ, QGIS_CUSTOM_CONFIG_PATH=CONFIG)
        if not os.path.isdir(os.path.join(PLUGINS, "velmorak")):
            install()
        run = subprocess.run(["/usr/bin/qgis_process.bin", "list"], env=env, stdin=subprocess.DEVNULL,
                             capture_output=True, text=True, timeout=300)
        self.assertEqual(run.returncode, 0, run.stderr)
        listed = {line.split()[0] for line in run.stdout.splitlines() if line.strip().startswith("velmorak:")}
        self.assertEqual(sorted(listed), ALGORITHMS, run.stdout)


DESKTOP_SCRIPT = r"""
import json, os, sys
from qgis.utils import iface, plugins
from qgis.core import QgsApplication, QgsProviderRegistry, QgsSettings
from qgis.PyQt.QtCore import QTimer
plugin = plugins.get("velmorak")
layer = iface.addVectorLayer(os.environ["VELMORAK_TEST_LAYER"], "site", "ogr")
with open(os.environ["VELMORAK_TEST_OUT"], "a", encoding="utf-8") as f:
    f.write(json.dumps({
        "driver": getattr(plugin, "driver", None),
        "provider": QgsApplication.processingRegistry().providerById("velmorak") is not None,
        "features": layer.featureCount() if layer is not None and layer.isValid() else None,
        "filter": "12d ASCII" in QgsProviderRegistry.instance().fileVectorFilters(),
        "settings": QgsSettings().value("qgis/customEnvVars"),
    }) + "\n")
QTimer.singleShot(200, QgsApplication.instance().quit)
"""


class DesktopTest(unittest.TestCase):
    def test_enabled_in_qgis_and_after_a_restart(self):
        # The QGIS application itself (on a virtual display): the plugin started with its
        # interface, a file added through it; then QGIS started again, with 12d ASCII in its
        # file dialogs from the environment settings the plugin left.
        if not shutil.which("xvfb-run"):
            if os.environ.get("VELMORAK_GDAL_REQUIRED"):
                self.fail("xvfb-run not found (Debian package xvfb)")
            self.skipTest("xvfb-run not found (Debian package xvfb)")
        profiles = os.path.join(WORK, "desktop")
        plugins = os.path.join(profiles, "profiles", "default", "python", "plugins")
        os.makedirs(os.path.join(profiles, "profiles", "default", "QGIS"))
        if not os.path.isdir(os.path.join(PLUGINS, "velmorak")):
            install()
        shutil.copytree(os.path.join(PLUGINS, "velmorak"), os.path.join(plugins, "velmorak"))
        with open(os.path.join(profiles, "profiles", "default", "QGIS", "QGIS3.ini"), "w", encoding="utf-8") as f:
            f.write("[PythonPlugins]\nvelmorak=true\n")
        script = os.path.join(WORK, "desktop.py")
        with open(script, "w", encoding="utf-8") as f:
            f.write(DESKTOP_SCRIPT)
        out = os.path.join(WORK, "desktop.jsonl")
        env = dict(os.environ, VELMORAK_TEST_LAYER=SITE + "|layername=creek_reach", VELMORAK_TEST_OUT=out)
        env.pop("QT_QPA_PLATFORM")
        for _ in range(2):
            run = subprocess.run(["xvfb-run", "-a", "qgis", "--profiles-path", profiles, "--profile", "default",
                                  "--noversioncheck", "--nologo", "--code", script], env=env,
                                 stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=300)
            self.assertEqual(run.returncode, 0, run.stderr)
        with open(out, encoding="utf-8") as f:
            first, second = (json.loads(line) for line in f)
        folder = os.path.join(plugins, "velmorak", "gdal_driver")
        features = len(native_reading(SITE)[0][2])
        self.assertEqual({k: first[k] for k in ("driver", "provider", "features", "settings")},
                         {"driver": "python", "provider": True, "features": features,
                          "settings": ["prepend|GDAL_PYTHON_DRIVER_PATH=" + folder + os.pathsep]})
        self.assertEqual(second["features"], features)
        self.assertTrue(second["filter"], second)


if __name__ == "__main__":
    try:
        unittest.main(argv=sys.argv[:1], verbosity=2)
    finally:
        APP.exitQgis()
        shutil.rmtree(WORK, ignore_errors=True)
