#include "GPSManager.h"

#include "Logger.h"

#include <QJsonValue>

#include <cmath>

namespace manager {

namespace {

// A reading as a number: a JSON number as it is, a string holding a decimal number as that
// number; anything else (missing, null, text that is no number, infinities) as 0.
double reading(const QJsonValue &value)
{
    double number = 0.0;
    if (value.isDouble()) {
        number = value.toDouble();
    } else if (value.isString()) {
        bool ok = false;
        number = value.toString().trimmed().toDouble(&ok);
        if (!ok)
            number = 0.0;
    }
    return std::isfinite(number) ? number : 0.0;
}

} // namespace

GPSManager::GPSManager(MqttClient &mqtt, const QString &base, QObject *parent)
    : ServiceManager(mqtt, base, QString(), parent)
{
    subscribeTopics({"/#"});
}

bool GPSManager::enable()
{
    return m_mqtt.publish(QByteArray(), m_base + "/enable");
}

bool GPSManager::disable()
{
    return m_mqtt.publish(QByteArray(), m_base + "/disable");
}

void GPSManager::onMqttReceived(const QByteArray &message, const QString &topic)
{
    QJsonObject object;
    if (!topic.contains(m_base) || !parseRaw(message, object))
        return;
    if (topic == m_base + "/info")
        onInfoReceived(object, topic);
    else if (topic == m_base + "/status")
        onStatusReceived(object, topic);
    else if (topic == m_base + "/data")
        onTelemetryReceived(object, topic);
}

void GPSManager::onInfoReceived(const QJsonObject &object, const QString &)
{
    const QJsonObject device = object.value("device").toObject();
    const QJsonObject service = object.value("service").toObject();
    m_info.firmware = device.value("firmware").toString();
    m_info.manufacturer = device.value("manufacturer").toString();
    m_info.model = device.value("model").toString();
    m_info.imei = device.value("imei").toString();
    m_info.assisted = device.value("assisted").toBool();
    m_info.version = service.value("version").toString();
    m_info.type = service.value("type").toString();
    emit infoChanged(m_info);
}

void GPSManager::onStatusReceived(const QJsonObject &object, const QString &)
{
    if (!object.value("service").toBool()) {
        m_status = {NoFix, Offline, false, QStringLiteral("Manager is offline")};
        emit statusChanged(m_status);
        return;
    }
    const QJsonObject device = object.value("device").toObject();
    m_status.fix = FixType(unsigned(device.value("fix").toInt()));
    m_status.state = State(device.value("state").toInt());
    m_status.error = device.value("error").toString();
    m_status.simulation = object.value("simulation").toBool();
    emit statusChanged(m_status);
}

void GPSManager::onTelemetryReceived(const QJsonObject &object, const QString &)
{
    m_telemetry.latitude = reading(object.value("latitude"));
    m_telemetry.longitude = reading(object.value("longitude"));
    m_telemetry.altitude = reading(object.value("altitude"));
    m_telemetry.direction = reading(object.value("direction"));
    m_telemetry.groundSpeed = reading(object.value("groundSpeed"));
    m_telemetry.magneticVariation = reading(object.value("magneticVariation"));
    m_telemetry.verticalSpeed = reading(object.value("verticalSpeed"));
    m_telemetry.verticalAccuracy = reading(object.value("verticalAccuracy"));
    m_telemetry.horizontalAccuracy = reading(object.value("horizontalAccuracy"));
    emit telemetryChanged(m_telemetry);
}

} // namespace manager
