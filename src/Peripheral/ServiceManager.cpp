#include "ServiceManager.h"

#include "Json.h"
#include "Logger.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QTimer>

#include <cmath>
#include <limits>

namespace manager {

namespace {
constexpr int DefaultMonitorMs = 1000;
}

ServiceManager::ServiceManager(MqttClient &mqtt, const QString &base, const QString &logPrefix,
                               QObject *parent)
    : QObject(parent), m_mqtt(mqtt), m_base(base), m_prefix(logPrefix)
{
    connect(&m_mqtt, &MqttClient::received, this,
            [this](const QByteArray &data, const QByteArray &from) {
                onMqttReceived(data, QString::fromUtf8(from));
            });
}

void ServiceManager::subscribeTopics(std::initializer_list<const char *> suffixes)
{
    for (const char *suffix : suffixes)
        m_mqtt.subscribe(m_base + QLatin1String(suffix), 0);
}

bool ServiceManager::parse(const QByteArray &message, QJsonObject &object) const
{
    if (message.isEmpty()) {
        object = QJsonObject();
        return true;
    }
    QString error;
    const QJsonDocument document = json::parse(message, &error);
    if (!error.isEmpty()) {
        LOG_CRITICAL << m_prefix << "Failed to parse JSON message: " << error;
        return false;
    }
    object = document.object();
    return true;
}

bool ServiceManager::parseRaw(const QByteArray &message, QJsonObject &object) const
{
    QString error;
    const QJsonDocument document = json::parse(message, &error);
    if (!error.isEmpty()) {
        LOG_CRITICAL << m_prefix << "Failed to parse JSON message: " << QString::fromUtf8(message);
        return false;
    }
    object = document.object();
    return true;
}

bool ServiceManager::acceptUnderBase(const QByteArray &message, const QString &topic,
                                     QJsonObject &object) const
{
    // The connection is shared: most of what arrives belongs to other managers.
    return topic.contains(m_base) && parse(message, object);
}

int ServiceManager::wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::floor(number) != number ||
        number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return 0;
    return int(number);
}

bool ServiceManager::publishJson(const QString &topic, const QJsonObject &object)
{
    return m_mqtt.publish(QJsonDocument(object).toJson(), topic);
}

void ServiceManager::monitorWith(QTimer &timer, int msec) const
{
    if (msec == 0) {
        LOG_INFO << m_prefix << "Monitor stopped";
        timer.stop();
        return;
    }
    LOG_INFO << m_prefix << "Monitor started : " << msec << " msec(s)";
    timer.setSingleShot(false);
    // A timer cannot run with a negative interval; such a request still starts monitoring.
    timer.setInterval(msec > 0 ? msec : DefaultMonitorMs);
    timer.start();
}

} // namespace manager
