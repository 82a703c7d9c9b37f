#include "Update.h"

#include "ChangeValue.h"
#include "Logger.h"

#include <QJsonValue>

namespace manager {

namespace {

constexpr int CheckTimeoutMs = 5000;

const QString Checking = QStringLiteral("Checking for updates");
const QString ReadyToInstall = QStringLiteral("Ready to install");
const QString NoPendingUpdates = QStringLiteral("No pending updates");

} // namespace

Update::Update(MqttClient &mqtt, const QString &base, QObject *parent)
    : ServiceManager(mqtt, base, QStringLiteral("[Update] "), parent)
{
    connect(&m_mqtt, &MqttClient::connected, this, &Update::refresh);
    connect(&m_mqtt, &MqttClient::disconnected, this, &Update::onDisconnected);
    m_checkTimer.setSingleShot(false);
    connect(&m_checkTimer, &QTimer::timeout, this, &Update::onCheckTimeout);
    // Older services report progress on the misspelled topic; both are live.
    subscribeTopics({"/status", "/update/software/status", "/update/software/progress",
                     "/update/software/progess"});
}

void Update::refresh()
{
    m_mqtt.publish(QByteArray(), m_base + "/status/get");
}

void Update::check()
{
    LOG_INFO << m_prefix << "Checking for updates";
    setStatus(Checking);
    // The service may never answer; the time-out falls back to what is known.
    m_checkTimer.start(CheckTimeoutMs);
    m_mqtt.publish(QByteArray(), m_base + "/software/check");
}

void Update::install()
{
    if (m_pending.isEmpty()) {
        LOG_WARNING << m_prefix << "WARN: Cannot install. There are no pending versions";
        return;
    }
    LOG_INFO << m_prefix << "Installing pending update : " << m_pending;
    // The status follows the service's progress reports, not the request.
    m_mqtt.publish(QByteArray(), m_base + "/update/software/install");
}

void Update::onDisconnected()
{
    // Nothing can answer a check now; its time-out would hide that the service is out of reach.
    m_checkTimer.stop();
    setStatus(QStringLiteral("Disconnected"));
}

void Update::onCheckTimeout()
{
    // Keeps firing until the first progress report stops it.
    LOG_INFO << m_prefix << "No pedning updates";
    derivePendingStatus();
}

void Update::derivePendingStatus()
{
    setStatus(m_pending.isEmpty() ? NoPendingUpdates : ReadyToInstall);
}

void Update::onMqttReceived(const QByteArray &message, const QString &topic)
{
    QJsonObject object;
    if (!acceptUnderBase(message, topic, object))
        return;

    if (topic == m_base + "/status")
        onStatusReceived(object);
    else if (topic == m_base + "/update/software/status")
        onSoftwareStatusReceived(object);
    else if (topic == m_base + "/update/software/progress" ||
             topic == m_base + "/update/software/progess")
        onProgressReceived(object);
}

void Update::onStatusReceived(const QJsonObject &object)
{
    const QJsonValue software =
        object.value(QStringLiteral("update")).toObject().value(QStringLiteral("software"));
    // Older services report only the installed version, as plain text.
    if (software.isString()) {
        setCurrent(software.toString());
    } else if (software.isObject()) {
        const QJsonObject versions = software.toObject();
        setCurrent(versions.value(QStringLiteral("current")).toString());
        setPending(versions.value(QStringLiteral("pending")).toString());
    }
    // A status report means no update is running, whatever else it holds.
    derivePendingStatus();
    setProgressMessage(QStringLiteral("Idle"));
    setProgressPercent(0);
}

void Update::onSoftwareStatusReceived(const QJsonObject &object)
{
    setCurrent(object.value(QStringLiteral("current")).toString());
    setPending(object.value(QStringLiteral("pending")).toString());
}

void Update::onProgressReceived(const QJsonObject &object)
{
    setProgressMessage(object.value(QStringLiteral("message")).toString());
    setProgressPercent(wholeNumber(object.value(QStringLiteral("progress"))));
    setPending(object.value(QStringLiteral("version")).toString());
    m_checkTimer.stop();
    // Download reports count amounts ("3/24 MB"); the installation steps are plain texts.
    setStatus(m_progressMessage.contains(QLatin1Char('/')) ? QStringLiteral("Downloading")
                                                           : QStringLiteral("Installing"));
}

void Update::setStatus(const QString &status)
{
    if (changeValue(m_status, status))
        emit statusChanged();
}

void Update::setCurrent(const QString &current)
{
    if (changeValue(m_current, current))
        emit currentChanged();
}

void Update::setPending(const QString &pending)
{
    if (changeValue(m_pending, pending))
        emit pendingChanged();
}

void Update::setProgressMessage(const QString &message)
{
    if (changeValue(m_progressMessage, message))
        emit progressMessageChanged();
}

void Update::setProgressPercent(int percent)
{
    if (changeValue(m_progressPercent, percent))
        emit progressPercentChanged();
}

} // namespace manager
