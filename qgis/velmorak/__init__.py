"""velmorak for QGIS: 12d ASCII files (.12da, .4da, .12daz) as vector layers, and the
conversions between 12d ASCII and MapInfo MIF as Processing algorithms."""


def classFactory(iface):
    from .plugin import VelmorakPlugin

    plugin = VelmorakPlugin(iface)
    # Without an interface (qgis_process, a script) nothing else may come:
    # the driver and the provider are there from here on.
    if iface is None:
        plugin.initProcessing()
    else:
        plugin.register_driver()
    return plugin
