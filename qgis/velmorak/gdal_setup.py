"""Makes QGIS's GDAL open 12d ASCII files through the Python driver the plugin carries.

GDAL loads Python drivers (ogr_*.py) from the folders of the configuration
option GDAL_PYTHON_DRIVER_PATH when its drivers are registered. QGIS
registered them at startup, before any plugin ran; registering again
(gdal.AllRegister) adds the drivers not yet there and leaves the others as
they are. So once the option names our folder, the driver opens files at
once: Add Vector Layer, a dropped file, the layers of a project, Processing.

What QGIS built at startup from GDAL's list of drivers stays as it was until
QGIS is restarted with the folder already set: the file type list of the Add
Vector Layer dialog and the extensions the Browser shows. So the plugin also
adds the folder to QGIS's own environment settings (Settings > Options >
System > Environment), which QGIS applies before it registers GDAL's drivers
at its next start.

A GDAL that has the native 12DA driver (the velmorak-gdal plugin) keeps it:
GDAL registers no Python driver under the name of a driver it has.
"""
import os

ENV = "GDAL_PYTHON_DRIVER_PATH"


def driver_name(driver_file):
    """The name the driver file declares on its "# gdal: DRIVER_NAME" line, read as GDAL reads it."""
    with open(driver_file, encoding="utf-8") as f:
        for line in f:
            if line.startswith("# gdal: DRIVER_NAME"):
                return line.split("=", 1)[1].strip().strip("\"'")
    return None


def _with_folder(current, folder):
    parts = [p for p in (current or "").split(os.pathsep) if p]
    if any(os.path.normcase(os.path.abspath(p)) == os.path.normcase(os.path.abspath(folder)) for p in parts):
        return os.pathsep.join(parts)
    return os.pathsep.join([folder] + parts)


def register(folder, name="12DA"):
    """Registers the Python driver of `folder` with GDAL unless a driver `name` is there.

    Returns "native" when GDAL already had a driver of that name that is not
    a Python one (the C++ plugin), "python" when the Python driver is
    registered (now or before), None when GDAL did not take it.
    """
    from osgeo import gdal

    existing = gdal.GetDriverByName(name)
    if existing is not None:
        language = existing.GetMetadataItem("DRIVER_LANGUAGE") or ""
        return "python" if language.upper() == "PYTHON" else "native"
    # GDAL reads the option, and without it GDAL_DRIVER_PATH, for Python
    # drivers: keep what either named, so other Python drivers still load.
    current = gdal.GetConfigOption(ENV) or os.environ.get(ENV)
    if current is None:
        driver_path = gdal.GetConfigOption("GDAL_DRIVER_PATH") or os.environ.get("GDAL_DRIVER_PATH")
        if driver_path and driver_path.lower() != "disable_plugins":
            current = driver_path
    value = _with_folder(current, folder)
    # The environment serves processes started from QGIS (and a GDAL that
    # reads it later); the option serves this process's GDAL now.
    os.environ[ENV] = value
    gdal.SetConfigOption(ENV, value)
    gdal.AllRegister()
    return "python" if gdal.GetDriverByName(name) is not None else None


def remember_for_startup(folder):
    """Adds `folder` to GDAL_PYTHON_DRIVER_PATH in QGIS's environment settings,
    applied at QGIS's next start before GDAL's drivers are registered, so that
    the file dialogs and the Browser list 12d ASCII files. Returns "added",
    "present" when the settings had it already, or "left" when they keep
    other variables switched off (switching them on would apply those too)."""
    from qgis.core import QgsSettings

    settings = QgsSettings()
    variables = settings.value("qgis/customEnvVars", []) or []
    if isinstance(variables, str):
        variables = [variables]
    # Each entry is "mode|NAME=value"; "prepend" adds to what the system sets.
    ours = f"prepend|{ENV}={folder}{os.pathsep}"
    for entry in variables:
        if entry.split("=", 1)[0] in (f"prepend|{ENV}", f"overwrite|{ENV}", f"append|{ENV}") and folder in entry:
            return "present"
    others = [v for v in variables if not v.startswith(f"prepend|{ENV}=")]
    if others and not settings.value("qgis/customEnvVarsUse", False, type=bool):
        return "left"
    settings.setValue("qgis/customEnvVars", others + [ours])
    settings.setValue("qgis/customEnvVarsUse", True)
    return "added"
