#include "CommandLine.h"
#include "Config.h"
#include "Fonts.h"
#include "GUIManager.h"
#include "Logger.h"

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

    Fonts::load();

    GUIManager manager(config);
    manager.load();
    return app.exec();
}
