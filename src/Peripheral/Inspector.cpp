#include "Inspector.h"

#include "Logger.h"

#include <QJsonValue>

#include <limits>

namespace manager {

namespace {

const QString Card = QStringLiteral("internal");
constexpr int RequestDelayMs = 2000;
// The longest delay a timer can hold, in whole seconds.
constexpr int MaxShutdownSec = std::numeric_limits<int>::max() / 1000;

} // namespace

Inspector::Inspector(MqttClient &mqtt, const QString &base, QObject *parent)
    : ServiceManager(mqtt, base, QStringLiteral("[Inspector] "), parent)
{
    connect(&m_mqtt, &MqttClient::connected, this, &Inspector::refresh);
    connect(&m_timer, &QTimer::timeout, this, &Inspector::refresh);
    m_shutdownTimer.setSingleShot(true);
    // Fires when announced, not up to 5 % later, so that a countdown on screen tells the truth.
    m_shutdownTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_shutdownTimer, &QTimer::timeout, this, &Inspector::systemShutdown);
    subscribe();
}

int Inspector::audioVolume() const
{
    return m_audio.value(Card, 0).toInt();
}

int Inspector::shutdownRemainingMs() const
{
    return m_shutdownTimer.isActive() ? m_shutdownTimer.remainingTime() : -1;
}

void Inspector::subscribe()
{
    LOG_INFO << m_prefix << "Subscribing to topics";
    subscribeTopics({"/info", "/status", "/audio", "/stats/cpu", "/stats/memory", "/stats/disk"});
}

void Inspector::refresh()
{
    LOG_INFO << m_prefix << "Refreshing data";
    const QByteArray empty = QByteArrayLiteral("{}");
    m_mqtt.publish(empty, m_base + "/audio/get");
    m_mqtt.publish(empty, m_base + "/stats/memory/get");
    m_mqtt.publish(empty, m_base + "/stats/disk/get");
    m_mqtt.publish(empty, m_base + "/stats/cpu/get");
}

void Inspector::monitor(int msec)
{
    monitorWith(m_timer, msec);
    if (msec != 0)
        refresh();
}

void Inspector::setAudioVolume(int value)
{
    LOG_INFO << m_prefix << "Setting 'internal' audio volume : " << value << "%";
    QJsonObject card;
    card.insert(QStringLiteral("volume"), value);
    QJsonObject request;
    request.insert(Card, card);
    publishJson(m_base + "/audio/set", request);
}

void Inspector::audioPlay(const QString &file)
{
    LOG_INFO << m_prefix << "Playing audio file (card='internal') : " << file;
    QJsonObject request;
    request.insert(QStringLiteral("device"), Card);
    request.insert(QStringLiteral("filepath"), file);
    publishJson(m_base + "/audio/play", request);
}

void Inspector::systemReboot()
{
    LOG_INFO << m_prefix << "Requesting System reboot";
    emit systemRebootStarted();
    // Leaves the screen time to show what is happening; not cancellable once announced.
    QTimer::singleShot(RequestDelayMs, this, [this] {
        m_mqtt.publish(QByteArray(), m_base + "/power/reboot/request/1");
    });
}

void Inspector::systemShutdown()
{
    LOG_INFO << m_prefix << "Requesting System shutdown";
    emit systemShutdownStarted();
    QTimer::singleShot(RequestDelayMs, this, [this] {
        m_mqtt.publish(QByteArray(), m_base + "/power/shutdown/request/1");
    });
}

void Inspector::scheduleShutdown(int sec)
{
    if (m_shutdownTimer.isActive())
        return;
    // A timer refuses a negative interval and would silently never fire; a delay beyond what
    // it can hold would overflow.
    const int delay = qBound(0, sec, MaxShutdownSec);
    LOG_INFO << m_prefix << "Scheduling System shutdown in : " << delay << " sec(s)";
    m_shutdownTimer.setSingleShot(true);
    m_shutdownTimer.start(delay * 1000);
}

void Inspector::abortShutdown()
{
    if (!m_shutdownTimer.isActive())
        return;
    LOG_INFO << m_prefix << "Aborting System shutdown";
    m_shutdownTimer.stop();
}

void Inspector::onMqttReceived(const QByteArray &message, const QString &topic)
{
    QJsonObject object;
    if (!acceptUnderBase(message, topic, object))
        return;

    if (topic == m_base + "/info")
        onInfoReceived(object, topic);
    else if (topic == m_base + "/status")
        onStatusReceived(object, topic);
    else if (topic == m_base + "/audio")
        onAudioReceived(object, topic);
    // The statistics reports are requested for the service's sake and not evaluated here.
}

void Inspector::onInfoReceived(const QJsonObject &object, const QString &topic)
{
    LOG_INFO << m_prefix << "Processing info topic " << topic;
    const QJsonValue version =
        object.value(QStringLiteral("service")).toObject().value(QStringLiteral("version"));
    m_info.insert(QStringLiteral("version"), version.toString());
    emit infoChanged();
}

void Inspector::onStatusReceived(const QJsonObject &object, const QString &topic)
{
    LOG_INFO << m_prefix << "Processing status topic " << topic;
    const bool running = object.value(QStringLiteral("service")).toBool(false);
    setStatus(running ? QStringLiteral("online") : QStringLiteral("offline"));
}

void Inspector::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    LOG_INFO << m_prefix << "Status changed : " << status;
    m_status = status;
    emit statusChanged();
}

void Inspector::onAudioReceived(const QJsonObject &object, const QString &)
{
    const int volume = wholeNumber(object.value(Card).toObject().value(QStringLiteral("volume")));
    if (volume == audioVolume())
        return;
    m_audio.insert(Card, volume);
    emit audioVolumeChanged();
}

} // namespace manager
