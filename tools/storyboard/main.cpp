// Storyboard: plays every passenger screen, in Greek and in English, through the device-service
// simulator on a private broker, and saves one PNG of the window per screen.

#include "Config.h"
#include "Fonts.h"
#include "GUIManager.h"
#include "Logger.h"
#include "Simulator.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

struct Shot
{
    const char *name;    // file name part
    const char *command; // simulator command, or a "!" action of our own
    const char *screen;  // the screen expected
};

// The story: idle, every result and detail block, retry, out of order and back, screen saver.
const Shot Story[] = {
    {"idle", "validator online", "ScanScreens"},
    {"valid-epurse", "card valid type=epurse before=1500 after=1380 \"product=Stored value\"",
     "Valid"},
    {"valid-journeys", "card valid type=journeys trips=7 transfer=75 \"product=10 trips\"",
     "Valid"},
    {"valid-period-pass", "card valid type=pass days=12 \"product=Monthly pass\"", "Valid"},
    {"valid-transfer", "card valid type=transfer trips=3 transfer=45 product=Transfer", "Valid"},
    {"valid-transfer-epurse",
     "card valid type=transfer-epurse after=640 transfer=30 product=Transfer", "Valid"},
    {"valid-ticket", "ticket valid from=Syntagma to=Airport transfer=75 \"product=Ticket 90'\"",
     "Valid"},
    {"valid-emv", "card valid type=emv \"product=Bank card\"", "Valid"},
    {"already-validated-ticket", "ticket invalid deny=103 \"product=Ticket 90'\"", "AlreadyValid"},
    {"already-validated-card", "card invalid deny=207 type=journeys trips=4 \"product=10 trips\"",
     "AlreadyValid"},
    {"invalid-balance", "card invalid deny=205 type=epurse", "Invalid"},
    {"invalid-expired-ticket", "ticket invalid deny=101", "Invalid"},
    {"retry", "retry", "Retry"},
    {"out-of-order", "validator no-rfid", "OutOfOrder"},
    {"out-of-service", "validator out-of-service", "OutOfService"},
    {"busy", "validator init", "Busy"},
    {"idle-after-start", "validator online", "ScanScreens"},
    {"screen-saver", "ignition off", "ScreenSaver"},
    {"idle-again", "ignition on", "ScanScreens"},
    {"serial-number-page", "!serial", "InitPage"},
};

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

bool waitFor(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_IM_MODULE", QByteArrayLiteral("qtvirtualkeyboard"));
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Pernix"));
    QGuiApplication::setApplicationVersion(QStringLiteral("1.0.18-1-g376f268"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Saves one PNG per passenger screen, in Greek and in English."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Where to save them."));
    parser.process(app);
    const QString folder = parser.positionalArguments().value(0, QStringLiteral("storyboard"));
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "Cannot create %s\n", qPrintable(folder));
        return 1;
    }

    QTemporaryDir work;
    qputenv("PERNIX_EVENT_LOG", work.filePath(QStringLiteral("events.ini")).toUtf8());

    // A private broker.
    const quint16 port = freePort();
    QFile conf(work.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n"
                              "user root\n")
                   .arg(port)
                   .toUtf8());
    conf.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    if (!broker.waitForStarted() || !waitFor(
                                        [port] {
                                            QTcpSocket probe;
                                            probe.connectToHost(QHostAddress::LocalHost, port);
                                            return probe.waitForConnected(100);
                                        },
                                        10000)) {
        std::fprintf(stderr, "The broker did not start\n");
        return 1;
    }

    Fonts::load();

    Config config(work.filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
    config.set(QStringLiteral("mqtt/host"), QStringLiteral("127.0.0.1"));
    config.set(QStringLiteral("mqtt/port"), port);
    config.set(QStringLiteral("gui/deviceId"), work.filePath(QStringLiteral("serialnumber")));
    config.set(QStringLiteral("log/stderr"), false);
    config.set(QStringLiteral("log/syslog"), false);
    QFile serial(work.filePath(QStringLiteral("serialnumber")));
    serial.open(QIODevice::WriteOnly);
    serial.write("C00001234");
    serial.close();

    manager::MqttClient simClient;
    simClient.setHostname(QStringLiteral("127.0.0.1"));
    simClient.setPort(port);
    simClient.setClientId(QStringLiteral("storyboard-simulator"));
    sim::Simulator simulator(simClient, sim::Simulator::Bases());
    simClient.connect();

    GUIManager manager(config);
    manager.load();
    QQuickWindow *window = nullptr;
    waitFor([&] { return manager.mqtt().state() == manager::MosquittoClient::Connected; }, 10000);

    int saved = 0;
    for (const char *language : {"el_GR", "en_IE"}) {
        manager.setLanguage(QString::fromLatin1(language));
        simulator.execute(QStringLiteral("ignition on"));
        int n = 0;
        for (const Shot &shot : Story) {
            const QString command = QString::fromUtf8(shot.command);
            if (command == QLatin1String("!serial")) {
                manager.setProperty("deviceId", QString());
                manager.setIdleScreen();
            } else {
                if (manager.deviceId().isEmpty())
                    manager.saveDeviceIdRequest(QStringLiteral("C00001234"));
                simulator.execute(command);
            }
            const QString screen = QString::fromLatin1(shot.screen);
            if (!waitFor([&] { return manager.screen() == screen; }, 10000)) {
                std::fprintf(stderr, "%s: screen %s expected, %s shown\n", shot.name, shot.screen,
                             qPrintable(manager.screen()));
                return 1;
            }
            settle(700); // images load asynchronously; animations take a frame or two
            // The window of the engine: the first root object.
            for (QWindow *w : QGuiApplication::topLevelWindows()) {
                if (auto *quick = qobject_cast<QQuickWindow *>(w))
                    window = quick;
            }
            if (!window) {
                std::fprintf(stderr, "No window\n");
                return 1;
            }
            const QString file = QStringLiteral("%1/%2-%3-%4.png")
                                     .arg(folder, QString::fromLatin1(language).left(2))
                                     .arg(++n, 2, 10, QLatin1Char('0'))
                                     .arg(QString::fromLatin1(shot.name));
            if (!window->grabWindow().save(file)) {
                std::fprintf(stderr, "Cannot save %s\n", qPrintable(file));
                return 1;
            }
            std::printf("%s\n", qPrintable(file));
            ++saved;
            // Results end by themselves; do not wait for that, the next command replaces them.
        }
    }
    broker.terminate();
    broker.waitForFinished(3000);
    std::printf("%d screens saved in %s\n", saved, qPrintable(folder));
    return 0;
}
