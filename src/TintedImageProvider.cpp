#include "TintedImageProvider.h"

#include <QColor>
#include <QImageReader>
#include <QPainter>

TintedImageProvider::TintedImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage TintedImageProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    const int slash = id.indexOf(QLatin1Char('/'));
    const QColor color(QLatin1Char('#') + id.left(slash));
    const QString path = QLatin1Char(':') + id.mid(slash);

    QImageReader reader(path);
    if (requestedSize.isValid() && !requestedSize.isEmpty())
        reader.setScaledSize(requestedSize);
    QImage image = reader.read();
    if (image.isNull())
        return image; // a missing picture shows nothing; the layout stays
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (color.isValid()) {
        // Keep the shape (alpha), take the colour.
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    if (size)
        *size = image.size();
    return image;
}
