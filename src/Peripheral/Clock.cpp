#include "Clock.h"

#include "ChangeValue.h"
#include "Logger.h"

#include <QRegularExpression>

namespace manager {

namespace {
const QString Program = QStringLiteral("timedatectl");
} // namespace

Clock::Clock(MqttClient &mqtt, const QString &base, QObject *parent)
    : ServiceManager(mqtt, base + QStringLiteral("/clock/ntp"), QString(), parent)
{
    connect(&m_command, &SystemCommand::finished, this, &Clock::onCommandFinished);
    // The first calls wait for the event loop, so that an owner can hold them longer.
    m_hold.setSingleShot(true);
    connect(&m_hold, &QTimer::timeout, this, &Clock::runNext);
    m_hold.start(0);
    queue({Step::List, QString()});
    queue({Step::Status, QString()});
    connect(&m_mqtt, &MqttClient::connected, this, &Clock::refresh);
    subscribeTopics({"/status", "/config"});
}

void Clock::refresh()
{
    LOG_INFO << "Refreshing Clock status and config";
    m_mqtt.publish(QByteArray(), m_base + "/status/get");
    m_mqtt.publish(QByteArray(), m_base + "/config/get");
    // The zone may have been changed outside the program since it was read.
    queue({Step::Status, QString()});
}

void Clock::ntpSync()
{
    LOG_INFO << "Requesting NTP sync";
    m_mqtt.publish(QByteArray(), m_base + "/sync");
}

void Clock::setNtpServer(const QString &server)
{
    if (server == m_ntpServer)
        return;
    LOG_INFO << "Setting NTP server : " << server;
    publishJson(m_base + "/config/set", {{"enabled", m_ntpEnabled}, {"server", server}});
}

void Clock::setNtpEnabled(bool enabled)
{
    if (enabled == m_ntpEnabled)
        return;
    LOG_INFO << "Setting NTP : " << (enabled ? "enabled" : "disabled");
    publishJson(m_base + "/config/set", {{"enabled", enabled}, {"server", m_ntpServer}});
}

void Clock::setTimezone(const QString &name)
{
    // A zone name is one word; anything else would reach timedatectl as an option or nothing.
    if (name.isEmpty() || name.startsWith(QLatin1Char('-'))) {
        LOG_WARNING << "Refused time zone name : " << name;
        return;
    }
    // Compared with the system's zone as it is when the change runs, not as it was read last.
    queue({Step::Status, QString()});
    queue({Step::Set, name});
}

void Clock::holdCommandsFor(int ms)
{
    m_hold.start(ms);
}

void Clock::queue(const Step &step)
{
    // One zone reading waiting is enough.
    if (step.kind == Step::Status && !m_steps.isEmpty() && m_steps.last().kind == Step::Status)
        return;
    m_steps.append(step);
    runNext();
}

void Clock::runNext()
{
    while (!m_hold.isActive() && !m_steps.isEmpty() && !m_command.isRunning()) {
        m_running = m_steps.takeFirst();
        switch (m_running.kind) {
        case Step::List:
            m_command.run(Program, {QStringLiteral("--no-pager"), QStringLiteral("list-timezones")},
                          CommandLimitMs);
            break;
        case Step::Status:
            m_command.run(Program, {QStringLiteral("status")}, CommandLimitMs);
            break;
        case Step::Set:
            if (m_running.zone != m_timezone) {
                m_command.run(Program, {QStringLiteral("set-timezone"), m_running.zone},
                              CommandLimitMs);
            }
            break;
        }
    }
}

void Clock::onCommandFinished(bool ok, const QByteArray &output)
{
    // A command that fails, is missing or hangs counts as one that printed nothing.
    const QString text = ok ? QString::fromUtf8(output) : QString();
    switch (m_running.kind) {
    case Step::List:
        // Every line feed ends a name, so a final one leaves an empty last name.
        if (changeValue(m_timezones, ok ? text.split(QLatin1Char('\n')) : QStringList()))
            emit timezonesChanged();
        break;
    case Step::Status: {
        static const QRegularExpression zone(QStringLiteral("Time zone:\\s(.+)\\s\\("));
        if (changeValue(m_timezone, zone.match(text).captured(1)))
            emit timezoneChanged();
        break;
    }
    case Step::Set:
        // Whatever it said, the zone is read again.
        m_steps.prepend({Step::Status, QString()});
        break;
    }
    runNext();
}

void Clock::onMqttReceived(const QByteArray &message, const QString &topic)
{
    QJsonObject object;
    if (!topic.contains(m_base) || !parseRaw(message, object))
        return;
    if (topic.contains(QLatin1String("/ntp/status")))
        onStatusReceived(object);
    else if (topic.contains(QLatin1String("/ntp/config")))
        onConfigReceived(object);
}

void Clock::applyEnabled(const QJsonObject &object)
{
    if (changeValue(m_ntpEnabled, object.value("enabled").toBool(false)))
        emit ntpEnabledChanged();
}

void Clock::onStatusReceived(const QJsonObject &object)
{
    applyEnabled(object);
    if (changeValue(m_ntpSynced, object.value("synced").toBool(false)))
        emit ntpSyncedChanged();
}

void Clock::onConfigReceived(const QJsonObject &object)
{
    applyEnabled(object);
    if (changeValue(m_ntpServer, object.value("server").toString()))
        emit ntpServerChanged();
}

} // namespace manager
