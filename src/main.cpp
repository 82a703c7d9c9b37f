#include "CommandLine.h"
#include "Config.h"
#include "GUIManager.h"
#include "Logger.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>

int main(int argc, char *argv[])
{
    // The on-screen keyboard of the text fields.
    qputenv("QT_IM_MODULE", QByteArrayLiteral("qtvirtualkeyboard"));

    // Named and parsed before the application object, which needs a display: help, version and
    // option errors must also work over SSH.
    QGuiApplication::setApplicationName(QStringLiteral("Pernix"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Pernix"));
    QGuiApplication::setApplicationVersion(QStringLiteral("1.0.18-1-g376f268"));
    QGuiApplication::setOrganizationName(QStringLiteral("velt"));
    const QVariantMap overrides = parseCLIArgs(argc, argv);

    QGuiApplication app(argc, argv);
    const QString filename = overrides.contains(QStringLiteral("config"))
                                 ? overrides.value(QStringLiteral("config")).toString()
                                 : QStringLiteral("gui.conf");

    Config config(filename, GUIManager::Defaults);
    config.addOverrides(overrides);

    if (QFontDatabase::addApplicationFont(QStringLiteral(":/qml/fonts/DejaVuSans.ttf")) < 0)
        LOG_WARNING << "WARN: Could not load font :/qml/fonts/DejaVuSans.ttf";
    // The Material style's own font, for the few controls that keep it.
    QFontDatabase::addApplicationFont(QStringLiteral(":/qml/fonts/Roboto-Regular.ttf"));
    QFontDatabase::addApplicationFont(QStringLiteral(":/qml/fonts/Roboto-Medium.ttf"));
    QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));

    GUIManager manager(config);
    manager.load();
    return app.exec();
}
