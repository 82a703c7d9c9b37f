#include "Config.h"
#include "GUIManager.h"
#include "Logger.h"
#include "MqttClient.h"
#include "Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// Commands typed on standard input, one per line.
class StdinReader : public QObject
{
public:
    explicit StdinReader(sim::Simulator &simulator)
        : m_simulator(simulator), m_notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &StdinReader::readSome);
    }

private:
    void readSome()
    {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            m_notifier.setEnabled(false); // end of input: go on serving
            return;
        }
        m_pending.append(buffer, int(n));
        int end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(m_pending.left(end));
            m_pending.remove(0, end + 1);
            const QString error = m_simulator.execute(line);
            if (!error.isEmpty())
                LOG_WARNING << "[sim] stdin: " << error;
        }
    }

    sim::Simulator &m_simulator;
    QSocketNotifier m_notifier;
    QByteArray m_pending;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pernix-simulator"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.18"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays the validator's device services on an MQTT broker. Commands are read "
                       "from standard input, from the topic %1 and from scenario files; type "
                       "\"help\" for the list.")
            .arg(sim::Simulator::CommandTopic));
    parser.addHelpOption();
    const QCommandLineOption host({"H", "host"}, "Broker host (default 127.0.0.1).", "hostname",
                                  "127.0.0.1");
    const QCommandLineOption port({"P", "port"}, "Broker port (default 1883).", "port", "1883");
    const QCommandLineOption config(
        {"f", "config"}, "Take the base topics from the topics/* keys of this configuration file.",
        "filename");
    const QCommandLineOption gpsBase(
        "gps-base", "Base topic of the GPS service (default velt/gps).", "topic", "velt/gps");
    const QCommandLineOption scenario({"s", "scenario"}, "Run this scenario file.", "filename");
    const QCommandLineOption loop("loop", "Run the scenario again and again.");
    const QCommandLineOption verbose({"v", "verbose"}, "Log level: 0=err ... 2=info(dfl), 3=dbg.",
                                     "level", "2");
    parser.addOptions({host, port, config, gpsBase, scenario, loop, verbose});
    parser.process(app);

    manager::Logger &logger = manager::Logger::instance();
    logger.setSyslog(false);
    logger.setStderr(true);
    logger.setLevel(parser.value(verbose).toInt());

    sim::Simulator::Bases bases;
    if (parser.isSet(config)) {
        const QString file = parser.value(config);
        if (!QFileInfo(file).isFile()) {
            LOG_CRITICAL << "ERROR: No configuration file " << file;
            return 1;
        }
        const Config settings(file, GUIManager::Defaults);
        bases.validator = settings.get("topics/blm").toString();
        bases.board = settings.get("topics/board").toString();
        bases.inspector = settings.get("topics/inspector").toString();
        bases.network = settings.get("topics/network").toString();
        bases.device = settings.get("topics/device").toString();
        bases.barcode = settings.get("topics/barcode").toString();
    }
    bases.gps = parser.value(gpsBase);

    bool portOk = false;
    const int brokerPort = parser.value(port).toInt(&portOk);
    if (!portOk || brokerPort <= 0 || brokerPort > 65535) {
        LOG_CRITICAL << "ERROR: Invalid port " << parser.value(port);
        return 1;
    }

    manager::MqttClient mqtt;
    mqtt.setHostname(parser.value(host));
    mqtt.setPort(unsigned(brokerPort));
    mqtt.setClientId(QStringLiteral("pernix-simulator_%1").arg(QCoreApplication::applicationPid()));
    sim::Simulator simulator(mqtt, bases);
    StdinReader stdinReader(simulator);

    if (parser.isSet(scenario)) {
        QFile file(parser.value(scenario));
        if (!file.open(QIODevice::ReadOnly)) {
            LOG_CRITICAL << "ERROR: Cannot read scenario " << file.fileName() << " ("
                         << file.errorString() << ")";
            return 1;
        }
        const QString text = QString::fromUtf8(file.readAll());
        const bool repeat = parser.isSet(loop);
        const QString name = QFileInfo(file.fileName()).fileName();
        // The story starts once the services are on the broker.
        auto started = std::make_shared<bool>(false);
        QObject::connect(&mqtt, &manager::MqttClient::connected, &simulator,
                         [&simulator, text, name, repeat, started] {
                             if (*started)
                                 return;
                             *started = true;
                             simulator.runScenario(text, name, repeat);
                         });
    }

    mqtt.connect();
    return app.exec();
}
