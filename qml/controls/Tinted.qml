pragma Singleton
import QtQuick 2.15

// Symbols recoloured through the "tinted" image provider: no shader effect, so the colour shows
// under every scene-graph backend.
QtObject {
    // The image source of a white symbol from the resources, drawn in color; any other source
    // is returned as it is.
    function source(symbol, color) {
        var path = symbol.toString()
        if (path.indexOf("qrc:") !== 0)
            return symbol
        var hex = Qt.lighter(color, 1.0).toString().replace("#", "") // a colour of any form
        if (hex.length === 8)
            hex = hex.substring(2) // drop the alpha
        return "image://tinted/" + hex + path.substring(4)
    }
}
