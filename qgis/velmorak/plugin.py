"""The velmorak QGIS plugin: 12d ASCII files open as vector layers, and the Processing provider.

QGIS (the application, qgis_process, a script) calls classFactory and then
initProcessing, and the application initGui too. Each of them makes sure the
GDAL Python driver is registered and the provider added, once: qgis_process
and scripts give no interface and may call only classFactory.
"""
import os

from qgis.core import Qgis, QgsApplication, QgsMessageLog

from . import gdal_setup, native
from .provider import VelmorakProvider

LOG_TAG = "velmorak"


class VelmorakPlugin:
    def __init__(self, iface):
        self.iface = iface
        self.provider = None
        self.driver = None

    def register_driver(self):
        """Registers the 12d ASCII driver with QGIS's GDAL; says how it went in the message log once."""
        if self.driver is not None:
            return self.driver
        try:
            self.driver = gdal_setup.register(native.driver_dir(), self.driver_name()) or "missing"
        except Exception as e:  # a GDAL without Python drivers, or without its bindings
            self.driver = "missing"
            QgsMessageLog.logMessage(f"12d ASCII files cannot be opened as layers: {e}", LOG_TAG, Qgis.Warning)
            return self.driver
        if self.driver == "missing":
            QgsMessageLog.logMessage("GDAL did not take the 12d ASCII Python driver of the velmorak plugin "
                                     "(GDAL 3.1 or newer is needed).", LOG_TAG, Qgis.Warning)
        elif self.driver == "native":
            QgsMessageLog.logMessage("12d ASCII files open through the installed 12DA GDAL driver.", LOG_TAG,
                                     Qgis.Info)
        return self.driver

    @staticmethod
    def driver_name():
        path = os.path.join(native.driver_dir(), "ogr_12DA.py")
        return (gdal_setup.driver_name(path) if os.path.isfile(path) else None) or "12DA"

    def initProcessing(self):
        self.register_driver()
        registry = QgsApplication.processingRegistry()
        # Once per QGIS: a second instance (a plugin reloaded without unload) leaves the first one's.
        if self.provider is None and registry.providerById("velmorak") is None:
            self.provider = VelmorakProvider()
            registry.addProvider(self.provider)

    def initGui(self):
        self.initProcessing()
        if self.driver == "python":
            try:
                folder = native.driver_dir()
                outcome = gdal_setup.remember_for_startup(folder)
                if outcome == "added":
                    QgsMessageLog.logMessage(
                        "12d ASCII files open now. Restart QGIS once for the file dialogs and the Browser to "
                        "list them.", LOG_TAG, Qgis.Info)
                elif outcome == "left":
                    QgsMessageLog.logMessage(
                        "12d ASCII files open now. For the file dialogs and the Browser to list them, add "
                        f"GDAL_PYTHON_DRIVER_PATH={folder} under Settings > Options > System > Environment "
                        "(its variables are switched off there, so the plugin left them alone), and restart "
                        "QGIS.", LOG_TAG, Qgis.Info)
            except Exception as e:  # settings that cannot be written
                QgsMessageLog.logMessage(f"QGIS's environment settings were not changed: {e}", LOG_TAG,
                                         Qgis.Warning)

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
