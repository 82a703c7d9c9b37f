#pragma once

#include <QQuickImageProvider>

// Symbols in a colour, without shader effects (which the software renderer lacks):
// "image://tinted/<rrggbb>/<resource path>", for example
// "image://tinted/41b987/qml/images/Icons/valid.svg" is the valid symbol in green.
class TintedImageProvider : public QQuickImageProvider
{
public:
    TintedImageProvider();

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
};
