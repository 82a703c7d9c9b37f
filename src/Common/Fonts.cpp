#include "Fonts.h"

#include "Logger.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>

bool Fonts::load()
{
    bool loaded = true;
    for (const char *file : {":/qml/fonts/DejaVuSans.ttf", ":/qml/fonts/DejaVuSans-Bold.ttf",
                             // The Material style's own font, for the few controls that keep it.
                             ":/qml/fonts/Roboto-Regular.ttf", ":/qml/fonts/Roboto-Medium.ttf"}) {
        if (QFontDatabase::addApplicationFont(QString::fromLatin1(file)) < 0) {
            LOG_WARNING << "WARN: Could not load font " << file;
            loaded = false;
        }
    }
    QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    return loaded;
}
