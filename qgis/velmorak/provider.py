"""The Processing provider "velmorak": the 12d ASCII conversions and the export."""
import os

from qgis.core import QgsProcessingProvider
from qgis.PyQt.QtGui import QIcon

from .algorithms import ALGORITHMS

ICON = os.path.join(os.path.dirname(__file__), "icon.png")


class VelmorakProvider(QgsProcessingProvider):
    def id(self):
        return "velmorak"

    def name(self):
        return "velmorak (12d ASCII)"

    def longName(self):
        return "velmorak: 12d ASCII and MapInfo MIF conversions"

    def icon(self):
        return QIcon(ICON)

    def loadAlgorithms(self):
        for algorithm in ALGORITHMS:
            self.addAlgorithm(algorithm())
