// Storyboard: plays every passenger screen, in Greek and in English, through the device-service
// simulator on a private broker, and saves one PNG of the window per screen. It checks each
// picture as a passenger reads it: every text at least 4.5:1 against the pixels behind it, and
// no English left on a Greek screen. It fails when a check does.

#include "Config.h"
#include "Fonts.h"
#include "GUIManager.h"
#include "Logger.h"
#include "MosquittoBroker.h"
#include "ScreenCheck.h"
#include "Simulator.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
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
// The maintenance area, played in both themes: the PIN page, the shell and its pages, menu and
// pop-ups.
const Shot Maintenance[] = {
    {"pin-page", "!maintenance", "Login"},
    {"pin-typed", "!type 58", "Login"},
    {"settings-list", "!pin 5826", "Settings"},
    {"validator", "!open Validator", "Settings"},
    {"validator-configuration", "!page Validator/configureButton", "Settings"},
    {"keyboard", "!focus obuUrlField", "Settings"},
    {"display", "!open Display", "Settings"},
    {"audio", "!open Audio", "Settings"},
    {"diagnostics", "!open Diagnostics", "Settings"},
    {"diagnostics-buzzer", "!page Diagnostics/buzzerDialog", "Settings"},
    {"diagnostics-leds", "!page Diagnostics/ledDialog", "Settings"},
    {"diagnostics-speaker", "!page Diagnostics/speakerDialog", "Settings"},
    {"diagnostics-sensor", "!page Diagnostics/sensorDialog", "Settings"},
    {"diagnostics-card", "!page Diagnostics/cardPopup", "Settings"},
    {"diagnostics-card-detected", "card-found 04A2B3C4D5E680 256", "Settings"},
    {"diagnostics-barcode", "!page Diagnostics/diagnosticsBarcodePopup", "Settings"},
    {"colour-test", "!page Diagnostics/test_rgbTest", "Settings"},
    {"diagnostics-rgb", "!page Diagnostics/rgbDialog", "Settings"},
    {"diagnostics-report", "!page Diagnostics/finishButton", "Settings"},
    {"region", "!open Region", "Settings"},
    {"network", "!open Network", "Settings"},
    {"network-ethernet", "!page Network/networkTabs.currentIndex=1", "Settings"},
    {"ethernet-configuration", "!page Network/networkTabs.currentIndex=1/configureButton",
     "Settings"},
    {"ethernet-address-refused",
     "!page Network/networkTabs.currentIndex=1/configureButton/modeBox.currentIndex=1/"
     "addressField.text=300.1.1.1/saveButton",
     "Settings"},
    {"update", "!open Update", "Settings"},
    {"event-log", "!open Event Log", "Settings"},
    {"menu", "!menu", "Settings"},
    {"confirmation", "!confirm reboot", "Settings"},
    {"barcode-configuration", "!barcode", "Settings"},
    {"after-logout", "!logout", "ScanScreens"},
};

// Screens for the installer and the technician, in English whatever the language.
const QStringList EnglishScreens = {QStringLiteral("InitPage"), QStringLiteral("Login"),
                                    QStringLiteral("Settings")};

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

// An item, or a pop-up (an object but not an item), named so anywhere in the window.
QObject *findNamed(QQuickItem *root, const QString &name)
{
    if (QQuickItem *item = ScreenCheck::find(root, name))
        return item;
    if (auto *object = root->findChild<QObject *>(name, Qt::FindDirectChildrenOnly))
        return object;
    for (QQuickItem *child : root->childItems()) {
        if (QObject *found = findNamed(child, name))
            return found;
    }
    return nullptr;
}

// The root object a screen's loader made.
QObject *screenItem(QQuickWindow *window, const QString &screen)
{
    QQuickItem *loader =
        ScreenCheck::find(window->contentItem(), QStringLiteral("screen_") + screen);
    return loader ? loader->property("item").value<QObject *>() : nullptr;
}

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

struct Stage
{
    GUIManager &manager;
    sim::Simulator &simulator;
    QQuickWindow *window;
    QString folder;
    int saved = 0;
    int failures = 0;
};

// The window's Material theme, as the Display page's switch sets it.
void setTheme(QQuickWindow *window, bool dark)
{
    QQmlExpression expression(qmlContext(window), window,
                              dark ? QStringLiteral("Material.theme = Material.Dark")
                                   : QStringLiteral("Material.theme = Material.Light"));
    expression.evaluate();
}

// Does what a shot needs: a simulator command, or one of our "!" actions. False (said why) when
// it cannot.
bool act(Stage &stage, const QString &command)
{
    GUIManager &manager = stage.manager;
    QQuickWindow *window = stage.window;
    const QString argument = command.section(QLatin1Char(' '), 1);
    QObject *shell = screenItem(window, QStringLiteral("Settings"));
    const auto fail = [&command](const char *what) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(command), what);
        return false;
    };
    // The serial-number page is the last of the passenger story: a unit has a number again after.
    if (manager.deviceId().isEmpty() && command != QLatin1String("!serial") &&
        command != QLatin1String("!keyboard") && command != QLatin1String("!confirm"))
        manager.saveDeviceIdRequest(QStringLiteral("C00001234"));
    if (!command.startsWith(QLatin1Char('!'))) {
        stage.simulator.execute(command);
    } else if (command.startsWith(QLatin1String("!local "))) {
        // The card and ticket screens: the window switches to them by itself.
        window->setProperty("currentScreen", argument);
    } else if (command == QLatin1String("!serial")) {
        manager.setProperty("deviceId", QString());
        manager.setIdleScreen();
    } else if (command == QLatin1String("!keyboard")) {
        QQuickItem *field = ScreenCheck::find(window->contentItem(), QStringLiteral("serialField"));
        if (!field)
            return fail("no serial number field");
        field->forceActiveFocus();
        QGuiApplication::inputMethod()->show();
        waitFor([] { return QGuiApplication::inputMethod()->isVisible(); }, 10000);
    } else if (command == QLatin1String("!confirm")) {
        QObject *page = screenItem(window, QStringLiteral("InitPage"));
        if (!page || !QMetaObject::invokeMethod(page, "askConfirmation"))
            return fail("no serial number page");
    } else if (command == QLatin1String("!maintenance")) {
        manager.setMaintenanceScreen();
    } else if (command.startsWith(QLatin1String("!type "))) {
        QObject *login = screenItem(window, QStringLiteral("Login"));
        if (!login)
            return fail("no PIN page");
        login->setProperty("entry", argument);
    } else if (command.startsWith(QLatin1String("!pin "))) {
        manager.settingsLoginRequest(argument);
    } else if (command == QLatin1String("!logout")) {
        manager.settingsLogoutRequest();
    } else if (command.startsWith(QLatin1String("!focus "))) {
        // A field of the page shown: the keyboard slides in over the page.
        QQuickItem *field = ScreenCheck::find(window->contentItem(), argument);
        if (!field)
            return fail("no such field");
        field->forceActiveFocus();
        QGuiApplication::inputMethod()->show();
        waitFor([] { return QGuiApplication::inputMethod()->isVisible(); }, 10000);
    } else if (!shell || !QMetaObject::invokeMethod(shell, "reset")) {
        return fail("no maintenance shell");
    } else if (command.startsWith(QLatin1String("!open "))) {
        auto *row = ScreenCheck::find(window->contentItem(), QStringLiteral("row_") + argument);
        if (!row || !QMetaObject::invokeMethod(row, "clicked"))
            return fail("no such settings page");
    } else if (command.startsWith(QLatin1String("!page "))) {
        // A settings page, then one step at a time once the page stack has settled: "name"
        // clicks a button or opens a pop-up, "name.property=value" sets a property.
        const QStringList steps = argument.split(QLatin1Char('/'));
        auto *row =
            ScreenCheck::find(window->contentItem(), QStringLiteral("row_") + steps.first());
        if (!row || !QMetaObject::invokeMethod(row, "clicked"))
            return fail("no such settings page");
        for (const QString &step : steps.mid(1)) {
            settle(600);
            const QString name =
                step.section(QLatin1Char('='), 0, 0).section(QLatin1Char('.'), 0, 0);
            // Within the shell: other screens have buttons of the same names.
            QObject *target = findNamed(qobject_cast<QQuickItem *>(shell), name);
            if (!target)
                return fail("no such item");
            if (step.contains(QLatin1Char('='))) {
                const QString property =
                    step.section(QLatin1Char('='), 0, 0).section(QLatin1Char('.'), 1);
                if (!target->setProperty(qPrintable(property), step.section(QLatin1Char('='), 1)))
                    return fail("no such property");
            } else if (!QMetaObject::invokeMethod(target, "clicked") &&
                       !QMetaObject::invokeMethod(target, "open")) {
                return fail("neither a button nor a pop-up");
            }
        }
    } else if (command == QLatin1String("!menu")) {
        auto *menu = shell->findChild<QObject *>(QStringLiteral("shellMenu"));
        if (!menu || !QMetaObject::invokeMethod(menu, "open"))
            return fail("no menu");
    } else if (command.startsWith(QLatin1String("!confirm "))) {
        QMetaObject::invokeMethod(shell, "confirm", Q_ARG(QVariant, argument));
    } else if (command == QLatin1String("!barcode")) {
        emit manager.barcodeConfigurationApplied(
            {QStringLiteral("Passback Time : 120 sec(s)"), QStringLiteral("Ethernet : dhcp")});
    } else {
        return fail("unknown action");
    }
    return true;
}

// Saves the window as it is and reads it as a passenger would. False when it cannot be saved.
bool shoot(Stage &stage, const QString &file, bool english)
{
    QQuickWindow *window = stage.window;
    if (!window->grabWindow().save(file)) {
        std::fprintf(stderr, "Cannot save %s\n", qPrintable(file));
        return false;
    }
    ++stage.saved;

    const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    const ScreenCheck::Text *lowest = nullptr;
    const QVector<ScreenCheck::Text> texts = ScreenCheck::measure(window, SkippedItems);
    const int margin = 24 * window->devicePixelRatio();
    const int right = window->width() * window->devicePixelRatio() - margin;
    for (const ScreenCheck::Text &text : texts) {
        const bool measured = text.contrast > 0 && !FaintItems.contains(text.name);
        if (measured && (!lowest || text.contrast < lowest->contrast))
            lowest = &text;
        if (measured && text.contrast < ScreenCheck::MinimumContrast) {
            std::fprintf(stderr, "%s: \"%s\" (%s) has a contrast of %.2f:1\n", qPrintable(file),
                         qPrintable(text.text), qPrintable(text.name), text.contrast);
            ++stage.failures;
        }
        if (!FaintItems.contains(text.name) && !text.glyphs.isEmpty() &&
            (text.glyphs.left() < margin || text.glyphs.right() >= right)) {
            std::fprintf(stderr, "%s: \"%s\" (%s) runs from x %d to %d, too near the edge\n",
                         qPrintable(file), qPrintable(text.text), qPrintable(text.name),
                         text.glyphs.left(), text.glyphs.right());
            ++stage.failures;
        }
        if (!english && !UntranslatedItems.contains(text.name) && text.text.contains(latin)) {
            std::fprintf(stderr, "%s: \"%s\" (%s) is not translated\n", qPrintable(file),
                         qPrintable(text.text), qPrintable(text.name));
            ++stage.failures;
        }
    }
    std::printf("%s  lowest contrast %s\n", qPrintable(file),
                lowest ? qPrintable(QStringLiteral("%1:1 (\"%2\")")
                                        .arg(lowest->contrast, 0, 'f', 2)
                                        .arg(lowest->text.simplified()))
                       : "-");
    return true;
}

// Plays shots in the current language, saving them as <prefix>-<nn>-<name>.png.
template <size_t N> bool play(Stage &stage, const Shot (&shots)[N], const QString &prefix)
{
    int n = 0;
    for (const Shot &shot : shots) {
        const QString command = QString::fromUtf8(shot.command);
        if (!act(stage, command))
            return false;
        const QString screen = QString::fromLatin1(shot.screen);
        const auto shown = [&stage] {
            return stage.window->property("currentScreen").toString();
        };
        if (!waitFor([&] { return shown() == screen; }, 10000)) {
            std::fprintf(stderr, "%s: screen %s expected, %s shown\n", shot.name, shot.screen,
                         qPrintable(shown()));
            return false;
        }
        settle(700); // images load asynchronously; animations take a frame or two
        const QString file = QStringLiteral("%1/%2-%3-%4.png")
                                 .arg(stage.folder, prefix)
                                 .arg(++n, 2, 10, QLatin1Char('0'))
                                 .arg(QString::fromLatin1(shot.name));
        const bool english = stage.manager.language().startsWith(QLatin1String("en")) ||
                             EnglishScreens.contains(screen);
        if (!shoot(stage, file, english))
            return false;
        if (command == QLatin1String("!confirm")) {
            QObject *page = screenItem(stage.window, QStringLiteral("InitPage"));
            if (auto *popup = page->findChild<QObject *>(QStringLiteral("confirmPopup")))
                QMetaObject::invokeMethod(popup, "close");
        }
        // Results end by themselves; do not wait for that, the next command replaces them.
    }
    return true;
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
    const QString folder =
        QDir(parser.positionalArguments().value(0, QStringLiteral("storyboard"))).absolutePath();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "Cannot create %s\n", qPrintable(folder));
        return 1;
    }

    QTemporaryDir work;
    // The self-test report goes into the working folder.
    QDir::setCurrent(work.path());
    qputenv("PERNIX_EVENT_LOG", work.filePath(QStringLiteral("events.ini")).toUtf8());

    MosquittoBroker broker({}, true);
    if (!broker.start()) {
        std::fprintf(stderr, "The broker did not start\n");
        return 1;
    }
    const quint16 port = broker.port();

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

    Stage stage{manager, simulator, window, folder};
    for (const char *language : {"el_GR", "en_IE"}) {
        manager.setLanguage(QString::fromLatin1(language));
        simulator.execute(QStringLiteral("ignition on"));
        if (!play(stage, Story, QString::fromLatin1(language).left(2)))
            return 1;
    }
    for (const bool dark : {true, false}) {
        setTheme(window, dark);
        for (const char *language : {"el_GR", "en_IE"}) {
            manager.setLanguage(QString::fromLatin1(language));
            const QString prefix = QStringLiteral("maintenance-%1-%2")
                                       .arg(dark ? QStringLiteral("dark") : QStringLiteral("light"),
                                            QString::fromLatin1(language).left(2));
            if (!play(stage, Maintenance, prefix))
                return 1;
        }
    }
    setTheme(window, true);
    broker.stop();
    std::printf("%d screens saved in %s\n", stage.saved, qPrintable(folder));
    if (stage.failures) {
        std::fprintf(stderr, "%d check(s) failed\n", stage.failures);
        return 1;
    }
    return 0;
}
