#!/usr/bin/python3
"""Renders the README's picture of 12d strings in QGIS, headless, through the plugin.

    /usr/bin/python3 qgis/screenshot.py <linux-build> <file.12da> <picture.png>

The plugin is laid out from the build (qgis/package.py) into a temporary
folder and loaded as QGIS loads it; every model of the file is a layer, drawn
in its own colour with the strings' names as labels.
"""
import os
import shutil
import sys
import tempfile

os.environ["QT_QPA_PLATFORM"] = "offscreen"
sys.dont_write_bytecode = True
BUILD, SOURCE, PICTURE = (os.path.abspath(a) for a in sys.argv[1:4])
WORK = tempfile.mkdtemp(prefix="velmorak-screenshot-")
# The native 12DA driver stays out: the picture shows the plugin's own.
os.environ["GDAL_DRIVER_PATH"] = WORK

from qgis.core import (  # noqa: E402
    QgsApplication,
    QgsMapRendererCustomPainterJob,
    QgsMapSettings,
    QgsPalLayerSettings,
    QgsProviderRegistry,
    QgsRectangle,
    QgsSingleSymbolRenderer,
    QgsSymbol,
    QgsTextBufferSettings,
    QgsTextFormat,
    QgsVectorLayer,
    QgsVectorLayerSimpleLabeling,
    QgsWkbTypes,
)
from qgis.PyQt.QtCore import QSize  # noqa: E402
from qgis.PyQt.QtGui import QColor, QFont, QImage, QPainter  # noqa: E402

COLOURS = ["#1b6ca8", "#d1495b", "#2a9d8f", "#e9a03b", "#6a4c93", "#3d5a80", "#8d6346", "#00798c",
           "#c1121f", "#588157", "#bc6c25", "#457b9d"]


def main():
    app = QgsApplication([], False, os.path.join(WORK, "profile"))
    app.initQgis()
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__))))
    import package

    plugins = os.path.join(WORK, "plugins")
    package.layout(plugins, BUILD)
    sys.path.insert(0, plugins)
    import velmorak

    plugin = velmorak.classFactory(None)
    assert plugin.driver == "python", plugin.driver

    layers = []
    for i, d in enumerate(QgsProviderRegistry.instance().querySublayers(SOURCE)):
        layer = QgsVectorLayer(d.uri(), d.name(), d.providerKey())
        colour = QColor(COLOURS[i % len(COLOURS)])
        symbol = QgsSymbol.defaultSymbol(layer.geometryType())
        symbol.setColor(colour)
        if layer.geometryType() == QgsWkbTypes.PointGeometry:
            symbol.setSize(3.2)
        elif layer.geometryType() == QgsWkbTypes.LineGeometry:
            symbol.setWidth(0.7)
        else:
            symbol.setOpacity(0.35)
        layer.setRenderer(QgsSingleSymbolRenderer(symbol))
        text = QgsTextFormat()
        text.setFont(QFont("DejaVu Sans"))
        text.setSize(8)
        text.setColor(colour.darker(140))
        buffer = QgsTextBufferSettings()
        buffer.setEnabled(True)
        buffer.setSize(0.8)
        buffer.setColor(QColor("white"))
        text.setBuffer(buffer)
        labels = QgsPalLayerSettings()
        labels.fieldName = "name"
        labels.setFormat(text)
        if layer.geometryType() == QgsWkbTypes.LineGeometry:
            labels.placement = QgsPalLayerSettings.Line
        layer.setLabeling(QgsVectorLayerSimpleLabeling(labels))
        layer.setLabelsEnabled(True)
        layers.append(layer)

    extent = QgsRectangle()
    for layer in layers:
        extent.combineExtentWith(layer.extent())
    size = QSize(1000, 640)
    settings = QgsMapSettings()
    settings.setLayers(list(reversed(layers)))
    settings.setOutputSize(size)
    settings.setBackgroundColor(QColor("white"))
    settings.setExtent(extent.buffered(max(extent.width(), extent.height()) * 0.06))
    image = QImage(size, QImage.Format_ARGB32)
    image.fill(QColor("white"))
    painter = QPainter(image)
    painter.setRenderHint(QPainter.Antialiasing)
    job = QgsMapRendererCustomPainterJob(settings, painter)
    job.start()
    job.waitForFinished()
    # A legend of the models, as the Layers panel lists them.
    painter.setFont(QFont("DejaVu Sans", 9))
    for i, layer in enumerate(layers):
        y = 22 + 18 * i
        painter.fillRect(14, y - 9, 12, 10, QColor(COLOURS[i % len(COLOURS)]))
        painter.setPen(QColor("#222222"))
        painter.drawText(32, y, f"{layer.name()} ({layer.featureCount()})")
    painter.end()
    image.save(PICTURE)
    print(f"{PICTURE}: {len(layers)} models")
    app.exitQgis()


if __name__ == "__main__":
    try:
        main()
    finally:
        shutil.rmtree(WORK, ignore_errors=True)
