#include "InspectorService.h"

namespace sim {

InspectorService::InspectorService(manager::MqttClient &mqtt, const QString &base, QObject *parent)
    : SimService(mqtt, base, QStringLiteral("inspector"), parent)
{
    subscribeTo({"/audio/get", "/audio/set", "/audio/play", "/stats/cpu/get", "/stats/memory/get",
                 "/stats/disk/get", "/power/reboot/request/1", "/power/shutdown/request/1"});
}

void InspectorService::publishAll()
{
    publishReport("/info", {{"service", QJsonObject{{"version", "1.4.2"}}}});
    publishReport("/status", {{"service", m_service}});
    publishAudio();
}

void InspectorService::publishAudio()
{
    publishReport("/audio", {{"internal", QJsonObject{{"volume", m_volume}}}});
}

void InspectorService::publishStats(const QString &which)
{
    QJsonObject stats;
    if (which == "cpu")
        stats = {{"load", 0.23}, {"cores", 4}};
    else if (which == "memory")
        stats = {{"total", 1048576}, {"free", 612340}};
    else
        stats = {{"total", 7634944}, {"free", 5012211}};
    publishReport("/stats/" + which, stats, false);
}

void InspectorService::onMessage(const QString &topic, const QByteArray &payload)
{
    if (!topic.startsWith(m_base + '/'))
        return;
    const QString suffix = topic.mid(m_base.size());
    if (suffix == "/audio/get") {
        publishAudio();
    } else if (suffix.startsWith("/stats/") && suffix.endsWith("/get")) {
        publishStats(suffix.section('/', 2, 2));
    } else if (suffix == "/audio/set") {
        logRequest(topic, payload);
        const int volume =
            objectOf(payload).value("internal").toObject().value("volume").toInt(m_volume);
        m_volume = qBound(0, volume, 100);
        publishAudio();
    } else if (suffix == "/audio/play" || suffix == "/power/reboot/request/1" ||
               suffix == "/power/shutdown/request/1") {
        logRequest(topic, payload);
    }
}

QString InspectorService::command(const QStringList &args)
{
    const QString word = args.value(0);
    if (word == "online" || word == "offline") {
        m_service = word == "online";
        publishReport("/status", {{"service", m_service}});
        return {};
    }
    if (word == "volume") {
        bool ok = false;
        const int volume = args.value(1).toInt(&ok);
        if (!ok)
            return QStringLiteral("volume needs a number (percent)");
        m_volume = qBound(0, volume, 100);
        publishAudio();
        return {};
    }
    return QStringLiteral("unknown inspector command '%1'").arg(word);
}

QStringList InspectorService::help() const
{
    return {"inspector online|offline | inspector volume <percent>"};
}

} // namespace sim
