#include "SimService.h"

#include "Logger.h"

#include <QJsonDocument>

namespace sim {

SimService::SimService(manager::MqttClient &mqtt, const QString &base, const QString &name,
                       QObject *parent)
    : QObject(parent), m_mqtt(mqtt), m_base(base), m_name(name)
{
    connect(&m_mqtt, &manager::MqttClient::received, this,
            [this](const QByteArray &data, const QByteArray &from) {
                onMessage(QString::fromUtf8(from), data);
            });
    connect(&m_mqtt, &manager::MqttClient::connected, this, [this] { publishAll(); });
}

void SimService::subscribeTo(std::initializer_list<const char *> suffixes)
{
    for (const char *suffix : suffixes)
        m_mqtt.subscribe(m_base + QLatin1String(suffix));
}

void SimService::publishReport(const QString &suffix, const QJsonObject &object, bool retain)
{
    m_mqtt.publish(QJsonDocument(object).toJson(), m_base + suffix, 0, retain);
}

void SimService::publishTo(const QString &topic, const QByteArray &payload, bool retain)
{
    m_mqtt.publish(payload, topic, 0, retain);
}

void SimService::logRequest(const QString &topic, const QByteArray &payload) const
{
    const QJsonDocument document = QJsonDocument::fromJson(payload);
    const QByteArray text = document.isNull() ? payload : document.toJson(QJsonDocument::Compact);
    LOG_INFO << "[sim:" << m_name << "] " << topic << " " << QString::fromUtf8(text);
}

QJsonObject SimService::objectOf(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

bool SimService::parseSwitch(const QString &word, bool *ok)
{
    const QString w = word.toLower();
    *ok = true;
    if (w == "on" || w == "true" || w == "1" || w == "yes")
        return true;
    if (w == "off" || w == "false" || w == "0" || w == "no")
        return false;
    *ok = false;
    return false;
}

} // namespace sim
