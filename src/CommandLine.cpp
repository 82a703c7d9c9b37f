#include "CommandLine.h"

#include "Logger.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// QGuiApplication's documented command-line options, which it removes from the arguments when it
// starts. Parsed before it exists, they must not count as unknown options of ours.
QStringList withoutToolkitOptions(const QStringList &arguments)
{
    static const QStringList withValue = {
        "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
        "qwindowicon", "qwindowtitle",       "session",       "display", "geometry"};
    QStringList kept;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (i == 0 || !argument.startsWith(QLatin1Char('-'))) {
            kept << argument;
            continue;
        }
        // One dash or two, as the toolkit accepts both; it takes the name even without a value.
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        if (withValue.contains(name))
            ++i;
        else if (name != QLatin1String("reverse") &&
                 !name.startsWith(QLatin1String("qmljsdebugger=")))
            kept << argument;
    }
    return kept;
}

} // namespace

CommandLine parseCLIArgs(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({"h", "help"}, "Print help and exit");
    const QCommandLineOption version({"V", "version"}, "Print version and exit");
    const QCommandLineOption verbose({"v", "verbose"},
                                     "Set log level: 0=err, 1=warn, 2=info(dfl), 3=dbg", "level");
    const QCommandLineOption toStderr({"e", "stderr"}, "Print messages to stderr, not just syslog");
    const QCommandLineOption color({"c", "color"}, "Print messages in color.");
    const QCommandLineOption config({"f", "config"}, "Set configuration file", "filename");
    const QCommandLineOption host({"H", "host"}, "Set mqtt broker url", "hostname");
    const QCommandLineOption port({"P", "port"}, "Set mqtt broker port", "port");
    const QCommandLineOption username({"u", "username"}, "Set mqtt username", "username");
    const QCommandLineOption password({"p", "password"}, "Set mqtt password", "password");
    for (const QCommandLineOption &option :
         {help, version, verbose, toStderr, color, config, host, port, username, password})
        parser.addOption(option);

    CommandLine result;
    if (!parser.parse(withoutToolkitOptions(arguments))) {
        LOG_CRITICAL << "ERROR: " << parser.errorText();
        result.exitCode = 1;
        return result;
    }
    if (parser.isSet(help)) {
        // The usage line names the program through the application object. Before the real one
        // exists (there may be no display), a console one serves for the moment of printing.
        QByteArray program = arguments.value(0).toLocal8Bit();
        int argc = 1;
        char *argv[] = {program.data(), nullptr};
        std::unique_ptr<QCoreApplication> console;
        if (!QCoreApplication::instance())
            console = std::make_unique<QCoreApplication>(argc, argv);
        std::fputs(qPrintable(parser.helpText()), stdout);
        std::fflush(stdout);
        result.exitCode = 0;
        return result;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        std::fflush(stdout);
        result.exitCode = 0;
        return result;
    }

    QVariantMap &overrides = result.overrides;
    if (parser.isSet(verbose)) {
        bool ok = false;
        const int level = parser.value(verbose).toInt(&ok, 10);
        if (ok) {
            overrides.insert("log/level", level);
            LOG_INFO << "Setting Log level : " << level;
        }
    }
    if (parser.isSet(toStderr)) {
        overrides.insert("log/stderr", true);
        LOG_INFO << "Log to stderr overridden from user to true";
    }
    if (parser.isSet(color)) {
        overrides.insert("log/color", true);
        LOG_INFO << "Log with color overridden from user to true";
    }
    if (parser.isSet(host)) {
        overrides.insert("mqtt/host", parser.value(host));
        LOG_INFO << "Setting MQTT Host : " << parser.value(host);
    }
    if (parser.isSet(port)) {
        overrides.insert("mqtt/port", parser.value(port).toInt(nullptr, 10));
        LOG_INFO << "Setting MQTT Port : " << parser.value(port);
    }
    if (parser.isSet(username)) {
        overrides.insert("mqtt/username", parser.value(username));
        LOG_INFO << "Setting MQTT User : " << parser.value(username);
    }
    if (parser.isSet(password))
        overrides.insert("mqtt/password", parser.value(password));
    if (parser.isSet(config)) {
        overrides.insert("config", parser.value(config));
        LOG_INFO << "Using configuration file : " << parser.value(config);
    }
    return result;
}

QVariantMap parseCLIArgs(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine result = parseCLIArgs(arguments);
    if (result.exitCode >= 0)
        std::exit(result.exitCode);
    return result.overrides;
}
