#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

class QQuickItem;
class QQuickWindow;

// Checks what a passenger can read on the window as it is drawn: the contrast of every visible
// text against the pixels actually behind it, and, on a screen in another language, English
// words left untranslated.
class ScreenCheck
{
public:
    struct Text
    {
        QString name; // the nearest object name up the tree, or the class
        QString text;
        double contrast; // against the lightest or darkest pixel behind it; 0 when not drawn
        QRect glyphs;    // where it was drawn, in window pixels
    };

    // The WCAG 1.4.3 minimum for text of any size.
    static constexpr double MinimumContrast = 4.5;

    // Measures every visible text of the window, but for the items named in skipped and what
    // they hold. Texts of disabled controls are left out: they are not meant to be read.
    static QVector<Text> measure(QQuickWindow *window, const QStringList &skipped = {});

    // The item of that name in the visual tree below item.
    static QQuickItem *find(QQuickItem *item, const QString &name);

    // WCAG contrast ratio of two colours, 1 to 21.
    static double contrast(const QColor &a, const QColor &b);

private:
    static void collect(QQuickItem *item, qreal opacity, const QStringList &skipped,
                        QVector<QQuickItem *> &texts);
    // The pop-up layer, when a pop-up is open on it.
    static QQuickItem *openOverlay(QQuickItem *item);
};
