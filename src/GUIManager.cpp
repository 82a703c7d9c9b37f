#include "GUIManager.h"

#include "Logger.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlContext>
#include <QRegularExpression>

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

GUIManager::GUIManager(Config &config) : QObject(nullptr), m_config(config)
{
    initLog();
    initConfig();
    initQml();
    initMqtt();
}

GUIManager::~GUIManager() = default;

void GUIManager::setMessage(const QString &message)
{
    if (m_message == message)
        return;
    m_message = message;
    emit messageChanged();
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
    m_engine.rootContext()->setContextProperty("manager", this);
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

    m_mqtt.setClientId(QStringLiteral("%1_%2")
                           .arg(QCoreApplication::applicationName())
                           .arg(QCoreApplication::applicationPid()));
    m_mqtt.setWillMessage(QByteArrayLiteral("{\"service\": false}"));
    m_mqtt.setWillTopic(m_config.get("mqtt/base").toString() + "/status");

    const int port = m_config.get("mqtt/port").toInt();
    if (port <= 0 || port > 65535)
        LOG_WARNING << "[GUIManager] WARN: MQTT port out of range : "
                    << m_config.get("mqtt/port").toString();
    m_mqtt.setHostname(m_config.get("mqtt/host").toString());
    m_mqtt.setPort(port < 0 || port > 65535 ? 0 : port);
    m_mqtt.setUsername(m_config.get("mqtt/username").toString());
    m_mqtt.setPassword(m_config.get("mqtt/password").toString());
    m_mqtt.connect();
    setMessage(tr("Connecting"));
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
}

void GUIManager::onMqttConnected()
{
    LOG_INFO << "[GUIManager] Connected to MQTT broker";
    setMessage(tr("Connected"));
}

void GUIManager::onMqttDisconnected()
{
    LOG_WARNING << "[GUIManager] WARN: Disconnected from MQTT broker";
}

void GUIManager::onMqttError(const QString &error)
{
    LOG_CRITICAL << "[GUIManager] ERROR: " << error;
}

void GUIManager::onConfigChanged(const QVariantMap &changes)
{
    LOG_DEBUG << "[GUIManager] Config changed : "
              << QJsonDocument(QJsonObject::fromVariantMap(changes)).toJson();

    const auto anyKeyMatches = [&changes](const QRegularExpression &pattern) {
        for (auto it = changes.constBegin(); it != changes.constEnd(); ++it) {
            if (pattern.match(it.key()).hasMatch())
                return true;
        }
        return false;
    };
    if (anyKeyMatches(QRegularExpression(QStringLiteral("log\\/.+")))) {
        LOG_INFO << "[GUIManager] Log configuration changed. Applying.";
        initLog();
    } else if (anyKeyMatches(QRegularExpression(QStringLiteral("mqtt\\/.+")))) {
        LOG_INFO << "[GUIManager] MQTT configuration changed. Applying.";
        initMqtt();
    }
}

void GUIManager::onConfigFileChanged()
{
    LOG_WARNING << "[GUIManager] WARN: Configuration file changed!";
    m_config.print();
}
