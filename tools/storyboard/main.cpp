// Storyboard: plays every passenger screen, in Greek and in English, through the device-service
// simulator on a private broker, and saves one PNG of the window per screen. It checks each
// picture as a passenger reads it: every text at least 4.5:1 against the pixels behind it, and
// no English left on a Greek screen. It fails when a check does.

#include "Config.h"
#include "Fonts.h"
#include "GUIManager.h"
#include "Logger.h"
#include "ScreenCheck.h"
#include "Simulator.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
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
    {"valid-period-pass",
     "card valid type=pass days=12 \"product=Monthly pass, all zones and the airport express "
     "lines\"",
     "Valid"},
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
    {"scan-card", "!local ScanCard", "ScanCard"},
    {"scan-ticket", "!local ScanBarcode", "ScanBarcode"},
    {"serial-number-page", "!serial", "InitPage"},
    {"serial-number-keyboard", "!keyboard", "InitPage"},
    {"serial-number-confirmation", "!confirm", "InitPage"},
};

// Texts that are not the interface's own words: names from the services, and the version.
const QStringList UntranslatedItems = {QStringLiteral("fareProduct"), QStringLiteral("version")};
// The software version, for technicians, is faint on purpose and left out of the contrast check.
const QStringList FaintItems = {QStringLiteral("version")};
// The on-screen keyboard is the input method's own component, drawn in its own style.
const QStringList SkippedItems = {QStringLiteral("keyboard")};
// Screens for the installer, in English whatever the language.
const QStringList EnglishScreens = {QStringLiteral("InitPage")};

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
    // The window of the engine.
    QQuickWindow *window = nullptr;
    for (QWindow *w : QGuiApplication::topLevelWindows()) {
        if (auto *quick = qobject_cast<QQuickWindow *>(w))
            window = quick;
    }
    if (!window) {
        std::fprintf(stderr, "No window\n");
        return 1;
    }
    waitFor([&] { return manager.mqtt().state() == manager::MosquittoClient::Connected; }, 10000);

    int saved = 0;
    int failures = 0;
    for (const char *language : {"el_GR", "en_IE"}) {
        manager.setLanguage(QString::fromLatin1(language));
        simulator.execute(QStringLiteral("ignition on"));
        int n = 0;
        for (const Shot &shot : Story) {
            const QString command = QString::fromUtf8(shot.command);
            if (command.startsWith(QLatin1String("!local "))) {
                // The card and ticket screens: the window switches to them by itself.
                window->setProperty("currentScreen", command.mid(7));
            } else if (command == QLatin1String("!serial")) {
                manager.setProperty("deviceId", QString());
                manager.setIdleScreen();
            } else if (command == QLatin1String("!keyboard")) {
                QQuickItem *field =
                    ScreenCheck::find(window->contentItem(), QStringLiteral("serialField"));
                if (!field) {
                    std::fprintf(stderr, "No serial number field\n");
                    return 1;
                }
                field->forceActiveFocus();
                QGuiApplication::inputMethod()->show();
                waitFor([] { return QGuiApplication::inputMethod()->isVisible(); }, 10000);
            } else if (command == QLatin1String("!confirm")) {
                QQuickItem *page =
                    ScreenCheck::find(window->contentItem(), QStringLiteral("screen_InitPage"));
                QObject *item = page ? page->property("item").value<QObject *>() : nullptr;
                if (!item || !QMetaObject::invokeMethod(item, "askConfirmation")) {
                    std::fprintf(stderr, "No serial number page\n");
                    return 1;
                }
            } else {
                if (manager.deviceId().isEmpty())
                    manager.saveDeviceIdRequest(QStringLiteral("C00001234"));
                simulator.execute(command);
            }
            const QString screen = QString::fromLatin1(shot.screen);
            const auto shown = [window] {
                return window->property("currentScreen").toString();
            };
            if (!waitFor([&] { return shown() == screen; }, 10000)) {
                std::fprintf(stderr, "%s: screen %s expected, %s shown\n", shot.name, shot.screen,
                             qPrintable(shown()));
                return 1;
            }
            settle(700); // images load asynchronously; animations take a frame or two
            const QString file = QStringLiteral("%1/%2-%3-%4.png")
                                     .arg(folder, QString::fromLatin1(language).left(2))
                                     .arg(++n, 2, 10, QLatin1Char('0'))
                                     .arg(QString::fromLatin1(shot.name));
            if (!window->grabWindow().save(file)) {
                std::fprintf(stderr, "Cannot save %s\n", qPrintable(file));
                return 1;
            }
            ++saved;

            // As a passenger reads it.
            const bool english = QString::fromLatin1(language).startsWith(QLatin1String("en")) ||
                                 EnglishScreens.contains(screen);
            const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
            const ScreenCheck::Text *lowest = nullptr;
            const QVector<ScreenCheck::Text> texts = ScreenCheck::measure(window, SkippedItems);
            for (const ScreenCheck::Text &text : texts) {
                const bool measured = text.contrast > 0 && !FaintItems.contains(text.name);
                if (measured && (!lowest || text.contrast < lowest->contrast))
                    lowest = &text;
                if (measured && text.contrast < ScreenCheck::MinimumContrast) {
                    std::fprintf(stderr, "%s: \"%s\" (%s) has a contrast of %.2f:1\n",
                                 qPrintable(file), qPrintable(text.text), qPrintable(text.name),
                                 text.contrast);
                    ++failures;
                }
                const int margin = 24 * window->devicePixelRatio();
                if (!FaintItems.contains(text.name) && !text.glyphs.isEmpty() &&
                    (text.glyphs.left() < margin ||
                     text.glyphs.right() >=
                         window->width() * window->devicePixelRatio() - margin)) {
                    std::fprintf(stderr,
                                 "%s: \"%s\" (%s) runs from x %d to %d, too near the edge\n",
                                 qPrintable(file), qPrintable(text.text), qPrintable(text.name),
                                 text.glyphs.left(), text.glyphs.right());
                    ++failures;
                }
                if (!english && !UntranslatedItems.contains(text.name) &&
                    text.text.contains(latin)) {
                    std::fprintf(stderr, "%s: \"%s\" (%s) is not translated\n", qPrintable(file),
                                 qPrintable(text.text), qPrintable(text.name));
                    ++failures;
                }
            }
            std::printf("%s  lowest contrast %s\n", qPrintable(file),
                        lowest ? qPrintable(QStringLiteral("%1:1 (\"%2\")")
                                                .arg(lowest->contrast, 0, 'f', 2)
                                                .arg(lowest->text.simplified()))
                               : "-");
            if (command == QLatin1String("!confirm")) {
                QQuickItem *page =
                    ScreenCheck::find(window->contentItem(), QStringLiteral("screen_InitPage"));
                QObject *item = page->property("item").value<QObject *>();
                if (auto *popup = item->findChild<QObject *>(QStringLiteral("confirmPopup")))
                    QMetaObject::invokeMethod(popup, "close");
            }
            // Results end by themselves; do not wait for that, the next command replaces them.
        }
    }
    broker.terminate();
    broker.waitForFinished(3000);
    std::printf("%d screens saved in %s\n", saved, qPrintable(folder));
    if (failures) {
        std::fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    return 0;
}
