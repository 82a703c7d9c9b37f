#include "UiService.h"

#include "Json.h"
#include "Logger.h"
#include "Secrets.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char *const Prefix = "[GUIManager] ";

} // namespace

UiService::UiService(Config &config, manager::MqttClient &mqtt, SessionManager &session,
                     QObject *parent)
    : QObject(parent), m_config(config), m_mqtt(mqtt), m_session(session)
{}

QString UiService::baseTopic() const
{
    return m_config.get(QStringLiteral("mqtt/base")).toString();
}

void UiService::announce()
{
    subscribeToTopics();
    publishInfo();
    publishStatus();
    publishConfig();
}

void UiService::subscribeToTopics()
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

void UiService::publish(const QString &suffix, const QJsonObject &object)
{
    m_mqtt.publish(QJsonDocument(object).toJson(), baseTopic() + suffix, 0, false);
}

void UiService::publishInfo()
{
    publish(QStringLiteral("/info"), {{"version", QCoreApplication::applicationVersion()}});
}

void UiService::publishStatus()
{
    publish(QStringLiteral("/status"),
            {{"technician", m_session.sessionActive()}, {"service", true}});
}

void UiService::publishConfig()
{
    publish(QStringLiteral("/config"), m_config.toJson());
}

void UiService::processMqttMessage(const QByteArray &data, const QByteArray &topic)
{
    const QString name = QString::fromUtf8(topic);
    if (!name.contains(baseTopic()))
        return; // another manager's topic
    LOG_INFO << Prefix << "Message received : " << name;
    LOG_DEBUG << Prefix << "Data : " << secrets::maskedJson(data);
    // Not JSON (or not an object): an empty document, which changes nothing.
    const QJsonObject object = json::parse(data).object();
    if (name.contains(QLatin1String("/info/get")))
        publishInfo();
    else if (name.contains(QLatin1String("/status/get")))
        publishStatus();
    else if (name.contains(QLatin1String("/config/get")))
        publishConfig();
    else if (name.contains(QLatin1String("/config/set")))
        m_config.fromJson(object);
}

void UiService::onConfigChanged(const QVariantMap &changes)
{
    LOG_DEBUG
        << Prefix << "Config changed : "
        << QJsonDocument(QJsonObject::fromVariantMap(secrets::maskedSettings(changes))).toJson();

    // Every row whose key changed reacts once, in the order of the table: several settings
    // changed at once all take effect.
    for (const Reaction &reaction : qAsConst(m_reactions)) {
        for (auto it = changes.constBegin(); it != changes.constEnd(); ++it) {
            if (!reaction.key.match(it.key()).hasMatch())
                continue;
            const QString line = reaction.log ? reaction.log(it.value()) : QString();
            if (!line.isEmpty())
                LOG_INFO << Prefix << line;
            reaction.apply(it.value());
            break;
        }
    }
    publishConfig();
}

void UiService::onConfigFileChanged()
{
    LOG_WARNING << Prefix << "WARN: Configuration file changed!";
    m_config.print();
}
