#include "GUIManager.h"

#include "AtomicFile.h"
#include "Logger.h"
#include "Secrets.h"
#include "TintedImageProvider.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QQmlContext>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTextStream>
#include <QUrl>
#include <QtQml/qqml.h>

const QVariantMap GUIManager::Defaults = {
    {"log/level", 2},
    {"log/syslog", true},
    {"log/stderr", true},
    {"log/color", false},
    {"mqtt/host", "localhost"},
    {"mqtt/port", 1883},
    {"mqtt/username", ""},
    {"mqtt/password", ""},
    {"mqtt/base", "velt/ui"},
    {"gui/settingsPin", "5826"},
    {"gui/showCursor", true},
    {"gui/deviceId", "/etc/serialnumber"},
    {"gui/locale", "el_GR"},
    {"gui/displayOffMin", 3},
    {"gui/shutdownDelaySec", 60},
    {"gui/showErrorDesc", false},
    {"gui/screenSaverBg", "black"},
    {"gui/screenSaverImg", "qrc:/qml/images/Icons/velt.png"},
    {"gui/animSwitchSec", 0},
    {"topics/barcode", "velt/barcode"},
    {"topics/blm", "velt/blm"},
    {"topics/board", "velt/board"},
    {"topics/inspector", "velt/inspector"},
    {"topics/network", "velt/network"},
    {"topics/device", "velt/device"},
};

const QMap<QString, QPair<int, int>> GUIManager::Limits = {
    // 0: never. What the display page offers; a timer takes at most almost 25 days of it.
    {"gui/displayOffMin", {0, 86400}},
    // What the validator page offers; nothing may power the unit off sooner.
    {"gui/shutdownDelaySec", {5, 900}},
};

namespace {

const char *const TranslationFile = ":/qml/translations/Pernix_el_GR.qm";

// The first seconds belong to the passenger screens: timedatectl (the time-zone list and the
// zone, needed only on the region page) would compete with them for the processor.
constexpr int ClockQuietAtStartMs = 3000;

// The serial number printed on the unit: its kind (C or K) and eight digits.
const QRegularExpression DeviceIdPattern(QStringLiteral("^[CK][0-9]{8}$"));

QRegularExpression exactKey(const char *key)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(key)));
}

} // namespace

GUIManager::GUIManager(Config &config)
    : QObject(nullptr), m_qmlContext(m_engine.rootContext()), m_config(config),
      m_validator(m_mqtt, config.get("topics/blm").toString()),
      m_board(m_mqtt, config.get("topics/board").toString()),
      m_inspector(m_mqtt, config.get("topics/inspector").toString()),
      m_network(m_mqtt, config.get("topics/network").toString()),
      m_update(m_mqtt, config.get("topics/device").toString()),
      m_clock(m_mqtt, config.get("topics/device").toString()), m_session(config),
      m_eventLog(config),
      m_screens(config, m_validator, m_board, m_inspector, m_session, m_eventLog),
      m_service(config, m_mqtt, m_session),
      m_diagnostics(m_deviceId, m_board, m_network, m_validator)
{
    // Before anything reads them: a value out of range never reaches a timer or the board.
    m_config.addLimits(Limits);
    m_clock.holdCommandsFor(ClockQuietAtStartMs);
    loadDeviceId();
    initLog();
    initConfig();
    initQml();
    initMqtt();
    // Before the screens: a result is marked as it arrives, not once the screen has switched.
    if (LatencyProbe::requested()) {
        m_probe = new LatencyProbe(this);
        connect(&m_validator, &manager::Validator::ticketValidated, m_probe,
                &LatencyProbe::noteResult);
        connect(&m_validator, &manager::Validator::cardRetry, m_probe, &LatencyProbe::noteResult);
    }
    initManagers();
    if (m_probe)
        connect(this, &GUIManager::screenChanged, m_probe,
                [this] { m_probe->noteScreen(screen()); });
}

GUIManager::~GUIManager()
{
    // The window binds to the managers: it goes first, while they all still exist.
    qDeleteAll(m_engine.rootObjects());
}

// ---------------------------------------------------------------------------------------------
// Start-up

void GUIManager::loadDeviceId()
{
    const QString path = m_config.get("gui/deviceId").toString();
    LOG_INFO << "[GUIManager] Loading device id from : " << path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        LOG_CRITICAL << "[GUIManager] ERROR: Could not load device S/N from file : " << path << " ("
                     << file.errorString() << ")";
        return;
    }
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty())
            continue;
        m_deviceId = line.trimmed();
        emit deviceIdChanged();
        return;
    }
}

void GUIManager::saveDeviceId()
{
    const QString path = m_config.get("gui/deviceId").toString();
    LOG_INFO << "[GUIManager] Saving device id to : " << path;
    // Written through a temporary file and a rename: a power cut never loses the number. Where
    // the folder takes no new file but the file may be written (/etc for a service account), in
    // place.
    QString error;
    if (!atomicfile::write(path, m_deviceId.toUtf8(), &error)) {
        LOG_CRITICAL << "[GUIManager] ERROR: Could not save device S/N to file : " << path << " ("
                     << error << ")";
        emit errorOccured(error);
    }
}

void GUIManager::initLog()
{
    manager::Logger &logger = manager::Logger::instance();
    logger.setLevel(m_config.get("log/level").toInt());
    logger.setStderr(m_config.get("log/stderr").toBool());
    logger.setSyslog(m_config.get("log/syslog").toBool());
    logger.setColor(m_config.get("log/color").toBool());
}

void GUIManager::initConfig()
{
    initReactions();
    connect(&m_config, &Config::configChanged, this, &GUIManager::onConfigChanged);
    connect(&m_config, &Config::configFileChanged, this, &GUIManager::onConfigFileChanged);
    m_config.print();
}

// What a changed configuration key re-applies, in this order; every row whose key changed runs.
void GUIManager::initReactions()
{
    // The info line of a reaction: fixed, the new value between two texts, or a word for a flag.
    const auto fixed = [](const char *text) {
        return [text](const QVariant &) {
            return QString::fromLatin1(text);
        };
    };
    const auto value = [](const char *text, const char *unit = "") {
        return [text, unit](const QVariant &v) {
            return QLatin1String(text) + v.toString() + QLatin1String(unit);
        };
    };
    const auto flag = [](const char *text, const char *on, const char *off) {
        return [=](const QVariant &v) {
            return QLatin1String(text) + QLatin1String(v.toBool() ? on : off);
        };
    };
    m_service.setReactions({
        {exactKey("gui/deviceId"), fixed("Device id changed. Re-loading"),
         [this](const QVariant &) {
             loadDeviceId();
         }},
        {exactKey("gui/showCursor"), flag("Cursor changed : ", "visible", "hidden"),
         [this](const QVariant &) {
             emit showCursorChanged();
         }},
        {exactKey("gui/displayOffMin"), value("Display OFF interval changed : ", " min(s)"),
         [this](const QVariant &) {
             m_screens.onDisplayOffMinChanged();
             emit displayOffMinChanged();
         }},
        {exactKey("gui/shutdownDelaySec"), value("Shutdown delay changed : ", " sec(s)"),
         [this](const QVariant &) {
             updateBoardShutdownDelay();
             emit shutdownDelaySecChanged();
         }},
        // setLanguage logs the change itself.
        {exactKey("gui/locale"), nullptr,
         [this](const QVariant &v) {
             setLanguage(v.toString());
         }},
        {exactKey("gui/showErrorDesc"), flag("Show Error description changed : ", "YES", "NO"),
         [this](const QVariant &) {
             m_screens.onShowErrorDescChanged();
             emit showErrorDescChanged();
         }},
        {exactKey("gui/screenSaverBg"), value("Screen-saver background changed : "),
         [this](const QVariant &) {
             emit screenSaverBgChanged();
         }},
        {exactKey("gui/screenSaverImg"), value("Screen-saver image changed : "),
         [this](const QVariant &) {
             emit screenSaverImgChanged();
         }},
        {exactKey("gui/animSwitchSec"), value("GIFs animation changed : ", " msec(s)"),
         [this](const QVariant &) {
             emit animSwitchSecChanged();
         }},
        {QRegularExpression(QStringLiteral("log\\/.+")),
         fixed("Log configuration changed. Applying."),
         [this](const QVariant &) {
             initLog();
         }},
        {QRegularExpression(QStringLiteral("mqtt\\/.+")),
         fixed("MQTT configuration changed. Applying."),
         [this](const QVariant &) {
             initMqtt();
         }},
    });
}

void GUIManager::initQml()
{
    QQuickStyle::setStyle(QStringLiteral("Material"));
    LOG_INFO << "[GUIManager] QtQuick Style name is : " << QQuickStyle::name();

    registerQmlTypes();
    m_engine.addImageProvider(QStringLiteral("tinted"), new TintedImageProvider);
    exposeTo(m_qmlContext);

    connect(&m_screens, &ScreenController::screenChanged, this, &GUIManager::screenChanged);
    connect(&m_screens, &ScreenController::messageChanged, this, &GUIManager::messageChanged);
    // The result screens read the last result from here, in the current language.
    connect(&m_screens, &ScreenController::transactionChanged, this,
            [this] { m_qmlContext->setContextProperty("transaction", m_screens.transaction()); });
    setScreen(QStringLiteral("Busy"), 10000);
    m_screens.setTranslatedMessage(QT_TR_NOOP("Initializing"));
}

void GUIManager::registerQmlTypes()
{
    // Each registers its list type (QQmlListProperty<T>) too.
    qmlRegisterType<Transaction>("com.velt.ticketing.transaction", 1, 0, "Transaction");
    qmlRegisterType<manager::Connection>("com.velt.network.connection", 1, 0, "Connection");
    qmlRegisterType<IPv4>("com.velt.network.ipv4", 1, 0, "IPv4");
}

void GUIManager::exposeTo(QQmlContext *context)
{
    context->setContextProperty("manager", this);
    context->setContextProperty("board", &m_board);
    context->setContextProperty("inspector", &m_inspector);
    context->setContextProperty("transaction", m_screens.transaction());
    context->setContextProperty("eventLogManager", &m_eventLog);
    context->setContextProperty("network", &m_network);
    context->setContextProperty("validatorManager", &m_validator);
}

void GUIManager::initMqtt()
{
    // Safe to run again: each reaction is connected once.
    connect(&m_mqtt, &manager::MqttClient::connected, this, &GUIManager::onMqttConnected,
            Qt::UniqueConnection);
    connect(&m_mqtt, &manager::MqttClient::disconnected, this, &GUIManager::onMqttDisconnected,
            Qt::UniqueConnection);
    connect(&m_mqtt, &manager::MqttClient::error, this, &GUIManager::onMqttError,
            Qt::UniqueConnection);
    connect(&m_mqtt, &manager::MqttClient::received, this, &GUIManager::processMqttMessage,
            Qt::UniqueConnection);

    m_mqtt.setClientId(QStringLiteral("%1_%2")
                           .arg(QCoreApplication::applicationName())
                           .arg(QCoreApplication::applicationPid()));
    m_mqtt.setWillMessage(QByteArrayLiteral("{\"service\": false}"));
    m_mqtt.setWillTopic(m_service.baseTopic() + "/status");

    const int port = m_config.get("mqtt/port").toInt();
    if (port <= 0 || port > 65535)
        LOG_WARNING << "[GUIManager] WARN: MQTT port out of range : "
                    << m_config.get("mqtt/port").toString();
    const QStringList connection = {m_config.get("mqtt/host").toString(), QString::number(port),
                                    m_config.get("mqtt/username").toString(),
                                    m_config.get("mqtt/password").toString()};
    if (connection == m_connection) {
        // The same broker as the same user: the connection stays. A new base topic is
        // announced on it at once; the will moves to it at the next connection.
        m_service.subscribeToTopics();
        publishInfo();
        publishStatus();
        return;
    }
    m_connection = connection;
    m_mqtt.setHostname(connection.at(0));
    m_mqtt.setPort(port < 0 || port > 65535 ? 0 : unsigned(port));
    m_mqtt.setUsername(connection.at(2));
    m_mqtt.setPassword(connection.at(3));
    m_mqtt.connect();
    m_screens.setTranslatedMessage(QT_TR_NOOP("Connecting"));
}

void GUIManager::initManagers()
{
    connect(&m_validator, &manager::Validator::statusChanged, this,
            &GUIManager::onValidatorStatusChanged);
    connect(&m_validator, &manager::Validator::cardDetected, &m_screens,
            &ScreenController::onCardDetected);
    connect(&m_validator, &manager::Validator::cardRemoved, &m_screens,
            &ScreenController::onCardRemoved);
    connect(&m_validator, &manager::Validator::cardRetry, &m_screens,
            &ScreenController::onCardRetry);
    connect(&m_validator, &manager::Validator::reasonChanged, this,
            &GUIManager::onValidatorReasonChanged);
    connect(&m_validator, &manager::Validator::ticketValidated, &m_screens,
            &ScreenController::onTicketValidated);
    connect(&m_validator, &manager::Validator::maintenanceBarcodeScanned, this,
            &GUIManager::onMaintenanceBarcodeScanned);
    connect(&m_board, &manager::Board::ignitionChanged, this, &GUIManager::onIgnitionChanged);
    connect(&m_board, &manager::Board::delayShutdownForChanged, this,
            &GUIManager::updateBoardShutdownDelay);
    connect(&m_session, &SessionManager::accessGranted, this, &GUIManager::settingsAccessGranted);
    connect(&m_session, &SessionManager::accessDenied, this, &GUIManager::settingsAccessDenied);
    connect(&m_session, &SessionManager::expired, this, &GUIManager::setIdleScreen);
    // The screen and the event log first, then the "technician" status.
    connect(&m_session, &SessionManager::sessionActiveChanged, &m_screens,
            &ScreenController::onSessionActiveChanged);
    connect(&m_session, &SessionManager::sessionActiveChanged, &m_service,
            &UiService::publishStatus);
    connect(&m_inspector, &manager::Inspector::systemRebootStarted, &m_screens,
            &ScreenController::onRebootStarted);
    connect(&m_inspector, &manager::Inspector::systemShutdownStarted, &m_screens,
            &ScreenController::onShutdownStarted);
    connect(this, &GUIManager::deviceIdChanged, this,
            [this] { m_screens.setHasDeviceId(!m_deviceId.isEmpty()); });
    connect(this, &GUIManager::languageChanged, &m_screens, &ScreenController::retranslate);
    m_screens.setHasDeviceId(!m_deviceId.isEmpty());
}

void GUIManager::load()
{
    m_engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
    if (m_engine.rootObjects().isEmpty()) {
        LOG_CRITICAL << "[GUIManager] ERROR: Failed to load the QML window";
        // The event loop is not running yet: leave it as soon as it starts.
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    } else if (m_probe) {
        m_probe->attach(qobject_cast<QQuickWindow *>(m_engine.rootObjects().first()));
    }
    setLanguage(m_config.get("gui/locale").toString());
    m_eventLog.push(new Event(QStringLiteral("General"), QStringLiteral("Application started"),
                              QString(), QDateTime::currentDateTime()));
}

// ---------------------------------------------------------------------------------------------
// Properties

void GUIManager::setDeviceId(const QString &id)
{
    if (id == m_deviceId)
        return;
    LOG_WARNING << "[GUIManager] Device ID changed : " << id;
    m_deviceId = id;
    saveDeviceId();
    emit deviceIdChanged();
}

void GUIManager::saveDeviceIdRequest(QString deviceId)
{
    LOG_INFO << "[GUIManager] Save Device Id request : " << deviceId;
    // What the serial-number page accepts, and nothing else, reaches the file.
    if (!DeviceIdPattern.match(deviceId).hasMatch()) {
        LOG_WARNING << "[GUIManager] WARN: Invalid device id : " << deviceId;
        emit errorOccured(tr("Invalid serial number: %1").arg(deviceId));
        return;
    }
    setDeviceId(deviceId);
    setIdleScreen();
}

void GUIManager::setLanguage(const QString &lang)
{
    if (lang == m_language)
        return;
    LOG_INFO << "[GUIManager] Language changed : " << lang;
    if (m_translator.isEmpty()) {
        LOG_INFO << "[GUIManager] Loading translation file : " << TranslationFile;
        if (!m_translator.load(QString::fromLatin1(TranslationFile))) {
            LOG_CRITICAL << "[GUIManager] ERROR: Failed to load translation file";
            return;
        }
    }
    // The one catalogue is Greek; every language but English gets it.
    if (QLocale(lang).language() == QLocale::English) {
        QCoreApplication::removeTranslator(&m_translator);
    } else if (!QCoreApplication::installTranslator(&m_translator)) {
        LOG_CRITICAL << "[GUIManager] ERROR: Failed to install translator";
        return;
    }
    QLocale::setDefault(QLocale(lang));
    m_language = lang;
    m_config.set("gui/locale", lang);
    emit languageChanged();
}

bool GUIManager::showCursor() const
{
    return m_config.get("gui/showCursor").toBool();
}

void GUIManager::setShowCursor(bool value)
{
    if (value != showCursor())
        m_config.set("gui/showCursor", value);
}

bool GUIManager::showErrorDesc() const
{
    return m_config.get("gui/showErrorDesc").toBool();
}

void GUIManager::setShowErrorDesc(bool value)
{
    if (value != showErrorDesc())
        m_config.set("gui/showErrorDesc", value);
}

int GUIManager::displayOffMin() const
{
    return m_config.get("gui/displayOffMin").toInt();
}

void GUIManager::setDisplayOffMin(int value)
{
    if (value != displayOffMin())
        m_config.set("gui/displayOffMin", value);
}

int GUIManager::shutdownDelaySec() const
{
    return m_config.get("gui/shutdownDelaySec").toInt();
}

void GUIManager::setShutdownDelaySec(int value)
{
    if (value != shutdownDelaySec())
        m_config.set("gui/shutdownDelaySec", value);
}

QColor GUIManager::screenSaverBg() const
{
    QColor color;
    color.setNamedColor(m_config.get("gui/screenSaverBg").toString());
    return color;
}

QString GUIManager::screenSaverImg() const
{
    return m_config.get("gui/screenSaverImg").toString();
}

int GUIManager::animSwitchSec() const
{
    return m_config.get("gui/animSwitchSec").toInt();
}

void GUIManager::setAnimSwitchSec(int value)
{
    if (value != animSwitchSec())
        m_config.set("gui/animSwitchSec", value);
}

// ---------------------------------------------------------------------------------------------
// Screens: decided by the screen controller

void GUIManager::setScreen(const QString &value)
{
    m_screens.setScreen(value);
}

void GUIManager::setScreen(QString value, int timeout)
{
    m_screens.setScreen(value, timeout);
}

void GUIManager::setIdleScreen()
{
    m_screens.setIdleScreen();
}

void GUIManager::setOutOfOrderScreen(QString message)
{
    m_screens.setOutOfOrderScreen(message);
}

void GUIManager::setMaintenanceScreen()
{
    m_screens.setMaintenanceScreen();
}

void GUIManager::shutdownRequest()
{
    m_screens.shutdownRequest();
}

void GUIManager::rebootRequest()
{
    m_screens.rebootRequest();
}

void GUIManager::exitRequest()
{
    m_screens.exitRequest();
}

void GUIManager::settingsLoginRequest(QString pin)
{
    m_session.loginRequest(pin);
}

void GUIManager::settingsLogoutRequest()
{
    m_session.logoutRequest();
}

void GUIManager::onScreenTimeout()
{
    m_screens.onScreenTimeout();
}

void GUIManager::onDisplayOffTimeout()
{
    m_screens.onDisplayOffTimeout();
}

void GUIManager::onValidatorStatusChanged()
{
    m_screens.onValidatorStatusChanged();
}

void GUIManager::onValidatorReasonChanged()
{
    m_screens.onValidatorReasonChanged();
}

void GUIManager::onIgnitionChanged()
{
    m_screens.onIgnitionChanged();
}

void GUIManager::updateBoardShutdownDelay()
{
    m_screens.updateBoardShutdownDelay();
}

// ---------------------------------------------------------------------------------------------
// Maintenance barcodes

void GUIManager::onMaintenanceBarcodeScanned(const QJsonObject &data)
{
    LOG_INFO << "[GUIManager] Maintenance Barcode scanned";
    // Anyone can hold a code to the reader: only a technician who has logged in may reconfigure.
    if (!m_session.sessionActive()) {
        LOG_WARNING << "[GUIManager] WARN: Maintenance session is not active. Ignoring.";
        return;
    }

    QStringList applied;

    if (data.contains(QLatin1String("validator"))) {
        const QString obc = data.value(QLatin1String("validator"))
                                .toObject()
                                .value(QLatin1String("obc"))
                                .toString();
        const QUrl url(obc, QUrl::TolerantMode);
        if (url.isValid()) {
            LOG_INFO << "[GUIManager] Applying Validator configuration";
            applied << QStringLiteral("OBC : %1").arg(url.toString());
            m_validator.config()->setObuUrl(url);
            m_validator.saveConfig();
        } else {
            LOG_WARNING << "[GUIManager] WARN: OBC URL is not valid : " << obc;
        }
    }

    const QJsonObject network = data.value(QLatin1String("network")).toObject();
    if (network.contains(QLatin1String("eth0"))) {
        const QJsonObject eth0 = network.value(QLatin1String("eth0")).toObject();
        const auto text = [&eth0](const char *key) {
            return eth0.value(QLatin1String(key)).toString();
        };
        const QString method = text("method");
        const QString address = text("address");
        const QString netmask = text("netmask");
        const QString gateway = text("gateway");
        const QString dns0 = text("dns0");
        const QString dns1 = text("dns1");

        manager::Ethernet &ethernet = *m_network.ethernet();
        // The code names eth0: settings meant for it must not land on another interface.
        if (ethernet.interface() != QLatin1String("eth0")) {
            LOG_WARNING << "[GUIManager] WARN: Active ethernet interface is not 'eth0' : "
                        << ethernet.interface();
        } else {
            applied << QStringLiteral("Method : %1").arg(method)
                    << QStringLiteral("Address : %1").arg(address)
                    << QStringLiteral("Netmask : %1").arg(netmask)
                    << QStringLiteral("Gateway : %1").arg(gateway)
                    << QStringLiteral("DNS #0 : %1").arg(dns0)
                    << QStringLiteral("DNS #1 : %1").arg(dns1);
            // Automatic addressing takes no static addresses: clearing them keeps stale ones
            // off the network settings screen.
            const bool manual = method == QLatin1String("manual");
            ethernet.setMethod(manual ? QStringLiteral("manual") : QStringLiteral("auto"));
            IPv4 &config = *ethernet.config();
            config.setAddress(manual ? address : QString());
            config.setMask(manual ? netmask : QString());
            config.setGateway(manual ? gateway : QString());
            config.setDns0(manual ? dns0 : QString());
            config.setDns1(manual ? dns1 : QString());
            LOG_INFO << "[GUIManager] Applying Ethernet configuration to eth0";
            ethernet.save();
        }
    }

    // Feedback only for something applied: a code with nothing usable in it stays silent.
    if (applied.isEmpty())
        return;
    m_inspector.audioPlay(ScreenController::ValidSound);
    m_board.setLedValid();
    emit barcodeConfigurationApplied(applied);
}

// ---------------------------------------------------------------------------------------------
// The broker connection and the UI's own service topics

void GUIManager::onMqttConnected()
{
    LOG_INFO << "[GUIManager] Connected to MQTT broker";
    m_screens.setTranslatedMessage(QT_TR_NOOP("Connected"));
    m_service.announce();
}

void GUIManager::onMqttDisconnected()
{
    LOG_WARNING << "[GUIManager] WARN: Disconnected from MQTT broker";
    m_screens.setTranslatedOutOfOrderScreen(QT_TR_NOOP("Disconnected"));
}

void GUIManager::onMqttError(const QString &error)
{
    LOG_CRITICAL << "[GUIManager] ERROR: " << error;
}

void GUIManager::processMqttMessage(const QByteArray &data, const QByteArray &topic)
{
    m_service.processMqttMessage(data, topic);
}

void GUIManager::onConfigChanged(const QVariantMap &changes)
{
    m_service.onConfigChanged(changes);
}

void GUIManager::onConfigFileChanged()
{
    m_service.onConfigFileChanged();
}
