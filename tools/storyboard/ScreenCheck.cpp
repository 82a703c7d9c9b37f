#include "ScreenCheck.h"

#include <QQuickItem>
#include <QQuickWindow>

#include <algorithm>
#include <cmath>

namespace {

double channel(int value)
{
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &colour)
{
    return 0.2126 * channel(colour.red()) + 0.7152 * channel(colour.green()) +
           0.0722 * channel(colour.blue());
}

QString textOf(const QQuickItem *item)
{
    return item->property("text").toString();
}

// A text is known by the nearest name on its way up: controls name their boxes, not the labels.
QString nameOf(const QQuickItem *item)
{
    for (const QQuickItem *up = item; up; up = up->parentItem()) {
        if (!up->objectName().isEmpty())
            return up->objectName();
    }
    return QString::fromLatin1(item->metaObject()->className());
}

// Where the text's glyphs were drawn: the pixels that change when it is hidden, within its item.
QRect glyphBox(const QImage &with, const QImage &without, const QRect &area)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const QRgb *a = reinterpret_cast<const QRgb *>(with.constScanLine(y));
        const QRgb *b = reinterpret_cast<const QRgb *>(without.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const int change = qAbs(qRed(a[x]) - qRed(b[x])) + qAbs(qGreen(a[x]) - qGreen(b[x])) +
                               qAbs(qBlue(a[x]) - qBlue(b[x]));
            if (change > 24)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

} // namespace

double ScreenCheck::contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

void ScreenCheck::collect(QQuickItem *item, qreal opacity, const QStringList &skipped,
                          QVector<QQuickItem *> &texts)
{
    opacity *= item->opacity();
    if (!item->isVisible() || opacity <= 0.01 || skipped.contains(item->objectName()))
        return;
    const bool isText = item->inherits("QQuickText") || item->inherits("QQuickTextInput") ||
                        item->inherits("QQuickTextEdit");
    if (isText && item->isEnabled() && !textOf(item).trimmed().isEmpty())
        texts.append(item);
    for (QQuickItem *child : item->childItems())
        collect(child, opacity, skipped, texts);
}

QQuickItem *ScreenCheck::openOverlay(QQuickItem *item)
{
    if (item->inherits("QQuickOverlay")) {
        const QList<QQuickItem *> children = item->childItems();
        const bool open = std::any_of(children.cbegin(), children.cend(),
                                      [](const QQuickItem *child) { return child->isVisible(); });
        return open ? item : nullptr;
    }
    for (QQuickItem *child : item->childItems()) {
        if (QQuickItem *found = openOverlay(child))
            return found;
    }
    return nullptr;
}

QQuickItem *ScreenCheck::find(QQuickItem *item, const QString &name)
{
    if (item->objectName() == name)
        return item;
    for (QQuickItem *child : item->childItems()) {
        if (QQuickItem *found = find(child, name))
            return found;
    }
    return nullptr;
}

QVector<ScreenCheck::Text> ScreenCheck::measure(QQuickWindow *window, const QStringList &skipped)
{
    // While a pop-up is open, what lies under its dimmed backdrop is not meant to be read.
    QQuickItem *overlay = openOverlay(window->contentItem());
    QVector<QQuickItem *> items;
    collect(overlay ? overlay : window->contentItem(), 1.0, skipped, items);

    const QImage with = window->grabWindow().convertToFormat(QImage::Format_RGB32);
    QVector<qreal> opacities;
    for (QQuickItem *item : items) {
        opacities.append(item->opacity());
        item->setOpacity(0);
    }
    const QImage without = window->grabWindow().convertToFormat(QImage::Format_RGB32);
    for (int i = 0; i < items.size(); ++i)
        items[i]->setOpacity(opacities[i]);

    QVector<Text> texts;
    const qreal ratio = with.devicePixelRatio();
    for (QQuickItem *item : items) {
        const QRectF scene = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        const QRect area =
            QRectF(scene.topLeft() * ratio, scene.size() * ratio).toAlignedRect() & with.rect();
        const QRect glyphs = glyphBox(with, without, area);
        Text text{nameOf(item), textOf(item), 0, glyphs};
        if (!glyphs.isEmpty()) {
            // The glyphs and a little room around them, as the eye takes them in.
            const QRect box = glyphs.adjusted(-3, -3, 3, 3) & with.rect();
            const QColor colour = item->property("color").value<QColor>();
            double lowest = 21;
            for (int y = box.top(); y <= box.bottom(); ++y) {
                const QRgb *line = reinterpret_cast<const QRgb *>(without.constScanLine(y));
                for (int x = box.left(); x <= box.right(); ++x)
                    lowest = qMin(lowest, contrast(colour, QColor(line[x])));
            }
            text.contrast = lowest;
        }
        texts.append(text);
    }
    return texts;
}
