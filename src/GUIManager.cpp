#include "GUIManager.h"

#include "EventLogin.h"
#include "EventLogout.h"
#include "Logger.h"
#include "TintedImageProvider.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QLocale>
#include <QQmlContext>
#include <QQuickStyle>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>
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

const QString GUIManager::ValidSound = QStringLiteral("/opt/velt/pernix/Valid.wav");
const QString GUIManager::InvalidSound = QStringLiteral("/opt/velt/pernix/Invalid.wav");

namespace {

const char *const TranslationFile = ":/qml/translations/Pernix_el_GR.qm";

const char *boolText(bool value)
{
    return value ? "true" : "false";
}

QString compactJson(const QVariantMap &map)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(map)).toJson());
}

} // namespace

GUIManager::GUIManager(Config &config)
    : QObject(nullptr), m_qmlContext(m_engine.rootContext()), m_config(config),
      m_validator(m_mqtt, config.get("topics/blm").toString()),
      m_board(m_mqtt, config.get("topics/board").toString()),
      m_inspector(m_mqtt, config.get("topics/inspector").toString()), m_session(config),
      m_eventLog(config)
{
    m_screenTimer.setSingleShot(true);
    m_displayOffTimer.setSingleShot(true);
    loadDeviceId();
    initLog();
    initConfig();
    initQml();
    initMqtt();
    initManagers();
}

GUIManager::~GUIManager() = default;

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
    // Written through a temporary file and a rename: a power cut never loses the number.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_deviceId.toUtf8()) < 0 || !file.commit()) {
        LOG_CRITICAL << "[GUIManager] ERROR: Could not save device S/N to file : " << path << " ("
                     << file.errorString() << ")";
        emit errorOccured(file.errorString());
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
    connect(&m_config, &Config::configChanged, this, &GUIManager::onConfigChanged);
    connect(&m_config, &Config::configFileChanged, this, &GUIManager::onConfigFileChanged);
    m_config.print();
}

void GUIManager::initQml()
{
    QQuickStyle::setStyle(QStringLiteral("Material"));
    LOG_INFO << "[GUIManager] QtQuick Style name is : " << QQuickStyle::name();

    // Registers the list type QQmlListProperty<Transaction> too.
    qmlRegisterType<Transaction>("com.velt.ticketing.transaction", 1, 0, "Transaction");

    m_engine.addImageProvider(QStringLiteral("tinted"), new TintedImageProvider);
    m_qmlContext->setContextProperty("manager", this);
    m_qmlContext->setContextProperty("board", &m_board);
    m_qmlContext->setContextProperty("inspector", &m_inspector);
    m_qmlContext->setContextProperty("transaction", Transaction().toMap());
    m_qmlContext->setContextProperty("eventLogManager", &m_eventLog);
    m_qmlContext->setContextProperty("validatorManager", &m_validator);

    connect(&m_screenTimer, &QTimer::timeout, this, &GUIManager::onScreenTimeout);
    setScreen(QStringLiteral("Busy"), 10000);
    setMessage(tr("Initializing"));
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
    m_mqtt.setWillTopic(baseTopic() + "/status");

    const int port = m_config.get("mqtt/port").toInt();
    if (port <= 0 || port > 65535)
        LOG_WARNING << "[GUIManager] WARN: MQTT port out of range : "
                    << m_config.get("mqtt/port").toString();
    m_mqtt.setHostname(m_config.get("mqtt/host").toString());
    m_mqtt.setPort(port < 0 || port > 65535 ? 0 : unsigned(port));
    m_mqtt.setUsername(m_config.get("mqtt/username").toString());
    m_mqtt.setPassword(m_config.get("mqtt/password").toString());
    m_mqtt.connect();
    setMessage(tr("Connecting"));
}

void GUIManager::initManagers()
{
    connect(&m_validator, &manager::Validator::statusChanged, this,
            &GUIManager::onValidatorStatusChanged);
    connect(&m_validator, &manager::Validator::cardDetected, this,
            [](const QString &uid, const QString &type) {
                LOG_WARNING
                    << "[GUIManager] "
                    << QStringLiteral("Validator card detected : uid=%1, type=%2").arg(uid, type);
            });
    connect(&m_validator, &manager::Validator::cardRemoved, this,
            [] { LOG_WARNING << "[GUIManager] Validator card removed"; });
    connect(&m_validator, &manager::Validator::cardRetry, this, &GUIManager::onCardRetry);
    connect(&m_validator, &manager::Validator::reasonChanged, this,
            &GUIManager::onValidatorReasonChanged);
    connect(&m_validator, &manager::Validator::ticketValidated, this,
            &GUIManager::onTicketValidated);
    connect(&m_board, &manager::Board::ignitionChanged, this, &GUIManager::onIgnitionChanged);
    connect(&m_board, &manager::Board::delayShutdownForChanged, this,
            &GUIManager::updateBoardShutdownDelay);
    connect(&m_session, &SessionManager::accessGranted, this, &GUIManager::settingsAccessGranted);
    connect(&m_session, &SessionManager::accessDenied, this, &GUIManager::settingsAccessDenied);
    connect(&m_session, &SessionManager::expired, this, &GUIManager::setIdleScreen);
    connect(&m_session, &SessionManager::sessionActiveChanged, this,
            &GUIManager::onSessionActiveChanged);
    connect(&m_displayOffTimer, &QTimer::timeout, this, &GUIManager::onDisplayOffTimeout);
    connect(this, &GUIManager::screenChanged, this, &GUIManager::onScreenChanged);
    connect(&m_inspector, &manager::Inspector::systemRebootStarted, this, [this] {
        setScreen(QStringLiteral("Busy"), 30000);
        setMessage(tr("Rebooting"));
    });
    connect(&m_inspector, &manager::Inspector::systemShutdownStarted, this, [this] {
        setScreen(QStringLiteral("Busy"), 30000);
        setMessage(tr("Shutting down"));
    });
}

void GUIManager::load()
{
    m_engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
    if (m_engine.rootObjects().isEmpty()) {
        LOG_CRITICAL << "[GUIManager] ERROR: Failed to load the QML window";
        // The event loop is not running yet: leave it as soon as it starts.
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    }
    setLanguage(m_config.get("gui/locale").toString());
    pushEvent(QStringLiteral("General"), QStringLiteral("Application started"));
}

// ---------------------------------------------------------------------------------------------
// Properties

void GUIManager::setMessage(const QString &message)
{
    if (m_message == message)
        return;
    m_message = message;
    emit messageChanged();
}

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
// Screens

void GUIManager::setScreen(const QString &value)
{
    if (value == m_screen)
        return;
    LOG_INFO << "[GUIManager] Setting screen : " << value;
    m_screen = value;
    m_screenTimer.stop();
    emit screenChanged();
}

void GUIManager::setScreen(QString value, int timeout)
{
    LOG_INFO << "[GUIManager] Setting screen : " << value << " (timeout=" << timeout << " msec)";
    m_screenTimer.start(timeout);
    m_screenTimeout = timeout;
    m_screen = value;
    emit screenChanged();
}

void GUIManager::onScreenTimeout()
{
    LOG_INFO << "[GUIManager] Screen timeout : " << m_screen;
    setIdleScreen();
}

void GUIManager::setIdleScreen()
{
    // A temporary screen that the decision leaves in place (the PIN page during a disconnection)
    // keeps the rest of its time-out, so that it still ends.
    const QString before = m_screen;
    const int remaining = m_screenTimer.isActive() ? m_screenTimer.remainingTime() : -1;
    m_screenTimer.stop();
    decideIdleScreen();
    if (m_screen == before && remaining >= 0 && !m_screenTimer.isActive())
        m_screenTimer.start(remaining);
}

void GUIManager::decideIdleScreen()
{
    if (m_deviceId.isEmpty()) {
        setScreen(QStringLiteral("InitPage"));
        return;
    }
    if (m_session.sessionActive())
        return;

    const QString status = m_validator.status();
    if (status == QLatin1String("init")) {
        setScreen(QStringLiteral("Busy"));
        setMessage(tr("Please Wait"));
    } else if (status == QLatin1String("out-of-service")) {
        setScreen(QStringLiteral("OutOfService"));
        m_validator.disableRfid();
        m_validator.disableBarcode();
    } else if (status == QLatin1String("online") || status == QLatin1String("degraded")) {
        m_validator.enableRfid();
        m_validator.enableBarcode();
        setScreen(QStringLiteral("ScanScreens"));
    } else {
        setOutOfOrderScreen(validatorReason());
        m_validator.disableRfid();
        m_validator.disableBarcode();
    }
}

QString GUIManager::validatorReason() const
{
    QString text = m_validator.reasonCode();
    if (showErrorDesc())
        text += QLatin1Char('\n') + m_validator.reason();
    return text;
}

void GUIManager::setOutOfOrderScreen(QString message)
{
    if (m_screen == QLatin1String("Login") || !m_board.ignition() || m_session.sessionActive())
        return;
    setScreen(QStringLiteral("OutOfOrder"));
    setMessage(message);
}

void GUIManager::onValidatorStatusChanged()
{
    LOG_INFO << "[GUIManager] Validator status changed : " << m_validator.status();
    setIdleScreen();
}

void GUIManager::onValidatorReasonChanged()
{
    LOG_WARNING << "[GUIManager] Validator reason changed : " << m_validator.reasonCode() << " "
                << m_validator.reason();
    setMessage(validatorReason());
}

void GUIManager::onTicketValidated(const Transaction &transaction)
{
    const QVariantMap map = transaction.toMap();
    LOG_WARNING << "[GUIManager] Validator ticket validated : " << int(transaction.type())
                << " Valid : " << boolText(transaction.valid())
                << " Contents : " << compactJson(map);
    m_qmlContext->setContextProperty("transaction", map);
    if (m_session.sessionActive())
        return;

    if (transaction.valid()) {
        m_inspector.audioPlay(ValidSound);
        setScreen(QStringLiteral("Valid"), 3000);
    } else if (transaction.denyReasonId() == 103 || transaction.denyReasonId() == 207) {
        m_inspector.audioPlay(InvalidSound);
        setScreen(QStringLiteral("AlreadyValid"), 3000);
    } else {
        m_inspector.audioPlay(InvalidSound);
        setScreen(QStringLiteral("Invalid"), 3000);
    }
}

void GUIManager::onCardRetry()
{
    LOG_WARNING << "[GUIManager] Validator card retry";
    if (m_session.sessionActive())
        return;
    m_inspector.audioPlay(InvalidSound);
    setScreen(QStringLiteral("Retry"), 3000);
}

void GUIManager::onSessionActiveChanged()
{
    if (m_session.sessionActive()) {
        if (const User *user = m_session.user())
            m_eventLog.push(new EventLogin(*user));
        publishStatus();
        return;
    }
    setIdleScreen();
    m_eventLog.push(new EventLogout());
    publishStatus();
}

void GUIManager::setMaintenanceScreen()
{
    if (m_session.sessionActive())
        setScreen(QStringLiteral("Settings"));
    else if (m_screen == QLatin1String("Login"))
        setIdleScreen();
    else
        setScreen(QStringLiteral("Login"), 15000);
}

void GUIManager::settingsLoginRequest(QString pin)
{
    m_session.loginRequest(pin);
}

void GUIManager::settingsLogoutRequest()
{
    m_session.logoutRequest();
}

void GUIManager::onIgnitionChanged()
{
    if (m_board.ignition()) {
        pushEvent(QStringLiteral("Board"), QStringLiteral("Ignition on"));
        m_inspector.abortShutdown();
        setIdleScreen();
        return;
    }
    pushEvent(QStringLiteral("Board"), QStringLiteral("Ignition off"));
    m_session.logoutRequest();
    m_inspector.scheduleShutdown(shutdownDelaySec());
    setScreen(QStringLiteral("ScreenSaver"));
}

void GUIManager::updateBoardShutdownDelay()
{
    // The board cuts the power a minute after the system has shut itself down.
    const int target = shutdownDelaySec() + 60;
    if (m_board.delayShutdownFor() == target)
        return;
    LOG_WARNING << "[GUIManager] WARN: Updating board shutdown delay to : " << target
                << " sec(s) (prev=" << m_board.delayShutdownFor() << ")";
    m_board.setDelayShutdownFor(target);
}

void GUIManager::onScreenChanged()
{
    const int minutes = displayOffMin();
    if (minutes == 0)
        return;
    if (m_screen == QLatin1String("OutOfOrder") || m_screen == QLatin1String("OutOfService")) {
        LOG_INFO << "[GUIManager] Staring Display OFF timer : " << minutes << " min(s)";
        m_displayOffTimer.start(minutes * 60000);
        return;
    }
    if (m_displayOffTimer.isActive()) {
        LOG_INFO << "[GUIManager] Stopping Display OFF timer.";
        m_displayOffTimer.stop();
    }
    if (!m_board.peripheralPower(QStringLiteral("display"))) {
        LOG_INFO << "[GUIManager] Turning on Display.";
        m_board.setPeripheralPower(QStringLiteral("display"), true);
    }
}

void GUIManager::onDisplayOffTimeout()
{
    LOG_WARNING << "[GUIManager] WARN: Turning off Display due to inactivity.";
    m_board.setPeripheralPower(QStringLiteral("display"), false);
}

void GUIManager::shutdownRequest()
{
    setScreen(QStringLiteral("Busy"), 30000);
    setMessage(tr("Shutting down"));
    m_inspector.systemShutdown();
}

void GUIManager::rebootRequest()
{
    setScreen(QStringLiteral("Busy"), 30000);
    setMessage(tr("Rebooting"));
    m_inspector.systemReboot();
}

void GUIManager::exitRequest()
{
    setScreen(QStringLiteral("Busy"), 30000);
    setMessage(tr("Exiting"));
    QTimer::singleShot(2000, qApp, [] { QCoreApplication::exit(0); });
}

void GUIManager::pushEvent(const QString &category, const QString &name)
{
    m_eventLog.push(new Event(category, name, QString(), QDateTime::currentDateTime()));
}

// ---------------------------------------------------------------------------------------------
// The UI's own service topics

QString GUIManager::baseTopic() const
{
    return m_config.get("mqtt/base").toString();
}

void GUIManager::onMqttConnected()
{
    LOG_INFO << "[GUIManager] Connected to MQTT broker";
    setMessage(tr("Connected"));
    subscribeToTopics();
    publishInfo();
    publishStatus();
    publishConfig();
}

void GUIManager::onMqttDisconnected()
{
    LOG_WARNING << "[GUIManager] WARN: Disconnected from MQTT broker";
    setOutOfOrderScreen(QStringLiteral("Disconnected"));
}

void GUIManager::onMqttError(const QString &error)
{
    LOG_CRITICAL << "[GUIManager] ERROR: " << error;
}

void GUIManager::subscribeToTopics()
{
    const QString base = baseTopic();
    for (const char *suffix : {"/info/get", "/status/get", "/config/get", "/config/set"}) {
        const QString topic = base + QLatin1String(suffix);
        if (m_subscribedTopics.contains(topic))
            continue;
        m_subscribedTopics.insert(topic);
        m_mqtt.subscribe(topic, 0);
    }
}

void GUIManager::publishInfo()
{
    const QJsonObject info = {{"version", QCoreApplication::applicationVersion()}};
    m_mqtt.publish(QJsonDocument(info).toJson(), baseTopic() + "/info", 0, false);
}

void GUIManager::publishStatus()
{
    const QJsonObject status = {{"technician", m_session.sessionActive()}, {"service", true}};
    m_mqtt.publish(QJsonDocument(status).toJson(), baseTopic() + "/status", 0, false);
}

void GUIManager::publishConfig()
{
    m_mqtt.publish(QJsonDocument(m_config.toJson()).toJson(), baseTopic() + "/config", 0, false);
}

void GUIManager::processMqttMessage(const QByteArray &data, const QByteArray &topic)
{
    const QString name = QString::fromUtf8(topic);
    if (!name.contains(baseTopic()))
        return;
    LOG_INFO << "[GUIManager] Message received : " << name;
    LOG_DEBUG << "[GUIManager] Data : " << data;
    // Not JSON (or not an object): an empty document, which changes nothing.
    const QJsonObject object = QJsonDocument::fromJson(data).object();
    if (name.contains(QLatin1String("/info/get")))
        publishInfo();
    else if (name.contains(QLatin1String("/status/get")))
        publishStatus();
    else if (name.contains(QLatin1String("/config/get")))
        publishConfig();
    else if (name.contains(QLatin1String("/config/set")))
        m_config.fromJson(object);
}

void GUIManager::onConfigChanged(const QVariantMap &changes)
{
    LOG_DEBUG << "[GUIManager] Config changed : " << compactJson(changes);

    const auto anyKeyMatches = [&changes](const char *pattern) {
        const QRegularExpression expression(QString::fromLatin1(pattern));
        for (auto it = changes.constBegin(); it != changes.constEnd(); ++it) {
            if (expression.match(it.key()).hasMatch())
                return true;
        }
        return false;
    };
    const auto value = [&changes](const char *key) {
        return changes.value(key);
    };

    if (changes.contains("gui/deviceId")) {
        LOG_INFO << "[GUIManager] Device id changed. Re-loading";
        loadDeviceId();
    } else if (changes.contains("gui/showCursor")) {
        LOG_INFO << "[GUIManager] Cursor changed : "
                 << (value("gui/showCursor").toBool() ? "visible" : "hidden");
        emit showCursorChanged();
    } else if (changes.contains("gui/displayOffMin")) {
        LOG_INFO << "[GUIManager] Display OFF interval changed : "
                 << value("gui/displayOffMin").toString() << " min(s)";
        emit displayOffMinChanged();
    } else if (changes.contains("gui/shutdownDelaySec")) {
        LOG_INFO << "[GUIManager] Shutdown delay changed : "
                 << value("gui/shutdownDelaySec").toString() << " sec(s)";
        updateBoardShutdownDelay();
        emit shutdownDelaySecChanged();
    } else if (changes.contains("gui/locale")) {
        setLanguage(value("gui/locale").toString());
    } else if (changes.contains("gui/showErrorDesc")) {
        LOG_INFO << "[GUIManager] Show Error description changed : "
                 << (value("gui/showErrorDesc").toBool() ? "YES" : "NO");
        setMessage(validatorReason());
        emit showErrorDescChanged();
    } else if (changes.contains("gui/screenSaverBg")) {
        LOG_INFO << "[GUIManager] Screen-saver background changed : "
                 << value("gui/screenSaverBg").toString();
        emit screenSaverBgChanged();
    } else if (changes.contains("gui/screenSaverImg")) {
        LOG_INFO << "[GUIManager] Screen-saver image changed : "
                 << value("gui/screenSaverImg").toString();
        emit screenSaverImgChanged();
    } else if (changes.contains("gui/animSwitchSec")) {
        LOG_INFO << "[GUIManager] GIFs animation changed : "
                 << value("gui/animSwitchSec").toString() << " msec(s)";
        emit animSwitchSecChanged();
    } else if (anyKeyMatches("log\\/.+")) {
        LOG_INFO << "[GUIManager] Log configuration changed. Applying.";
        initLog();
    } else if (anyKeyMatches("mqtt\\/.+")) {
        LOG_INFO << "[GUIManager] MQTT configuration changed. Applying.";
        initMqtt();
    }
    publishConfig();
}

void GUIManager::onConfigFileChanged()
{
    LOG_WARNING << "[GUIManager] WARN: Configuration file changed!";
    m_config.print();
}
