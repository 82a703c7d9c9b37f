#include "DeviceService.h"

#include "Logger.h"

namespace sim {

namespace {

// How long the update server takes to answer a check.
const int CheckDelayMs = 1000;
// One progress report per step; the whole installation takes a few seconds.
const int InstallStepMs = 300;
const int ImageSizeMb = 24;
const int DownloadSteps = 6;

} // namespace

DeviceService::DeviceService(manager::MqttClient &mqtt, const QString &base, QObject *parent)
    : SimService(mqtt, base, QStringLiteral("device"), parent)
{
    m_checkTimer.setSingleShot(true);
    m_checkTimer.setInterval(CheckDelayMs);
    connect(&m_checkTimer, &QTimer::timeout, this, &DeviceService::finishCheck);
    m_installTimer.setInterval(InstallStepMs);
    connect(&m_installTimer, &QTimer::timeout, this, &DeviceService::nextInstallStep);

    subscribeTo({"/clock/ntp/status/get", "/clock/ntp/config/get", "/clock/ntp/config/set",
                 "/clock/ntp/sync", "/status/get", "/software/check", "/update/software/install"});
}

void DeviceService::publishAll()
{
    publishNtpStatus();
    publishNtpConfig();
    publishSoftwareStatus();
    publishDeviceStatus();
}

void DeviceService::publishNtpStatus()
{
    publishReport(QStringLiteral("/clock/ntp/status"),
                  {{"enabled", m_ntpEnabled}, {"synced", m_ntpSynced}});
}

void DeviceService::publishNtpConfig()
{
    publishReport(QStringLiteral("/clock/ntp/config"),
                  {{"enabled", m_ntpEnabled}, {"server", m_ntpServer}});
}

QString DeviceService::updateState() const
{
    if (m_installTimer.isActive()) {
        return m_installIndex < DownloadSteps ? QStringLiteral("downloading")
                                              : QStringLiteral("installing");
    }
    return m_checkTimer.isActive() ? QStringLiteral("checking") : QStringLiteral("idle");
}

void DeviceService::publishDeviceStatus()
{
    const QJsonValue software = m_statusAsString
                                    ? QJsonValue(m_current)
                                    : QJsonObject{{"current", m_current}, {"pending", m_pending}};
    const QJsonObject update{{"state", updateState()}, {"software", software}};
    const QJsonObject ntp{{"enabled", m_ntpEnabled}, {"synced", m_ntpSynced}};
    publishReport(QStringLiteral("/status"),
                  {{"update", update}, {"clock", QJsonObject{{"ntp", ntp}}}});
}

void DeviceService::publishSoftwareStatus()
{
    publishReport(QStringLiteral("/update/software/status"),
                  {{"current", m_current}, {"pending", m_pending}});
}

void DeviceService::onMessage(const QString &topic, const QByteArray &payload)
{
    if (!topic.startsWith(m_base))
        return;
    const QString suffix = topic.mid(m_base.size());
    if (suffix == QLatin1String("/clock/ntp/status/get")) {
        logRequest(topic, payload);
        publishNtpStatus();
    } else if (suffix == QLatin1String("/clock/ntp/config/get")) {
        logRequest(topic, payload);
        publishNtpConfig();
    } else if (suffix == QLatin1String("/clock/ntp/config/set")) {
        logRequest(topic, payload);
        applyNtpConfig(objectOf(payload));
    } else if (suffix == QLatin1String("/clock/ntp/sync")) {
        logRequest(topic, payload);
        if (m_ntpEnabled)
            m_ntpSynced = true;
        else
            LOG_WARNING << "[sim:device] NTP is disabled, nothing to sync";
        publishNtpStatus();
    } else if (suffix == QLatin1String("/status/get")) {
        logRequest(topic, payload);
        publishDeviceStatus();
    } else if (suffix == QLatin1String("/software/check")) {
        logRequest(topic, payload);
        startCheck();
    } else if (suffix == QLatin1String("/update/software/install")) {
        logRequest(topic, payload);
        startInstall();
    }
}

void DeviceService::applyNtpConfig(const QJsonObject &request)
{
    const QJsonValue enabled = request.value(QLatin1String("enabled"));
    if (enabled.isBool())
        m_ntpEnabled = enabled.toBool();
    // An empty server name would leave the clock without a source; keep the one we have.
    const QJsonValue server = request.value(QLatin1String("server"));
    if (server.isString() && !server.toString().trimmed().isEmpty())
        m_ntpServer = server.toString().trimmed();
    if (!m_ntpEnabled)
        m_ntpSynced = false;
    publishNtpConfig();
    publishNtpStatus();
}

void DeviceService::startCheck()
{
    if (m_installTimer.isActive()) {
        LOG_WARNING << "[sim:device] Installation running, check ignored";
        return;
    }
    m_checkTimer.start();
}

void DeviceService::finishCheck()
{
    m_pending = (m_offered.isEmpty() || m_offered == m_current) ? QString() : m_offered;
    LOG_INFO << "[sim:device] Check finished, pending version: "
             << (m_pending.isEmpty() ? QStringLiteral("none") : m_pending);
    publishSoftwareStatus();
    publishDeviceStatus();
}

void DeviceService::startInstall()
{
    if (m_installTimer.isActive()) {
        LOG_WARNING << "[sim:device] Installation already running";
        return;
    }
    if (m_pending.isEmpty()) {
        LOG_WARNING << "[sim:device] No pending version to install";
        publishSoftwareStatus();
        return;
    }
    m_checkTimer.stop();
    // Download texts carry a slash ("x/y MB"); the installation texts must not, the screen tells
    // the two phases apart by it.
    m_installSteps.clear();
    for (int i = 1; i <= DownloadSteps; ++i) {
        const int mb = ImageSizeMb * i / DownloadSteps;
        m_installSteps.append({QStringLiteral("Downloading %1/%2 MB").arg(mb).arg(ImageSizeMb),
                               50 * i / DownloadSteps});
    }
    m_installSteps.append({QStringLiteral("Verifying image"), 60});
    m_installSteps.append({QStringLiteral("Writing root file system"), 75});
    m_installSteps.append({QStringLiteral("Updating boot loader"), 90});
    m_installSteps.append({QStringLiteral("Installation complete"), 100});
    m_installIndex = 0;
    LOG_INFO << "[sim:device] Installing " << m_pending;
    m_installTimer.start();
    nextInstallStep();
}

void DeviceService::nextInstallStep()
{
    if (m_installIndex >= m_installSteps.size()) {
        m_installTimer.stop();
        m_current = m_pending;
        m_pending.clear();
        LOG_INFO << "[sim:device] Installed " << m_current;
        publishSoftwareStatus();
        publishDeviceStatus();
        return;
    }
    const InstallStep &step = m_installSteps.at(m_installIndex++);
    publishReport(m_misspelledProgress ? QStringLiteral("/update/software/progess")
                                       : QStringLiteral("/update/software/progress"),
                  {{"message", step.message}, {"progress", step.progress}, {"version", m_pending}},
                  false);
}

QString DeviceService::ntpCommand(const QStringList &args)
{
    const QString what = args.value(0).toLower();
    bool ok = false;
    if (what == QLatin1String("synced")) {
        const bool synced = parseSwitch(args.value(1), &ok);
        if (!ok || args.size() != 2)
            return QStringLiteral("expected on or off");
        if (synced && !m_ntpEnabled)
            return QStringLiteral("NTP is disabled; enable it first");
        m_ntpSynced = synced;
        publishNtpStatus();
        return QString();
    }
    if (what == QLatin1String("server")) {
        if (args.size() != 2)
            return QStringLiteral("expected one server name");
        m_ntpServer = args.at(1);
        publishNtpConfig();
        return QString();
    }
    const bool enabled = parseSwitch(what, &ok);
    if (!ok || args.size() != 1)
        return QStringLiteral("expected device ntp <on|off>, synced <on|off> or server <name>");
    m_ntpEnabled = enabled;
    if (!enabled)
        m_ntpSynced = false;
    publishNtpConfig();
    publishNtpStatus();
    return QString();
}

QString DeviceService::command(const QStringList &args)
{
    const QString what = args.value(0).toLower();
    if (what == QLatin1String("ntp"))
        return ntpCommand(args.mid(1));
    if (what == QLatin1String("pending")) {
        if (args.size() != 2)
            return QStringLiteral("expected one version, or none");
        const QString version = args.at(1);
        m_offered =
            version.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0 ? QString() : version;
        return QString();
    }
    if (what == QLatin1String("current")) {
        if (args.size() != 2)
            return QStringLiteral("expected one version");
        if (m_installTimer.isActive())
            return QStringLiteral("installation running");
        m_current = args.at(1);
        if (m_pending == m_current)
            m_pending.clear();
        publishSoftwareStatus();
        publishDeviceStatus();
        return QString();
    }
    if (what == QLatin1String("progress-topic")) {
        const QString topic = args.value(1).toLower();
        if (args.size() != 2 ||
            (topic != QLatin1String("progress") && topic != QLatin1String("progess")))
            return QStringLiteral("expected progress or progess");
        m_misspelledProgress = topic == QLatin1String("progess");
        return QString();
    }
    if (what == QLatin1String("status-form")) {
        const QString form = args.value(1).toLower();
        if (args.size() != 2 ||
            (form != QLatin1String("object") && form != QLatin1String("string")))
            return QStringLiteral("expected object or string");
        m_statusAsString = form == QLatin1String("string");
        publishDeviceStatus();
        return QString();
    }
    if (what.isEmpty())
        return QStringLiteral("expected a device command");
    return QStringLiteral("unknown device command '%1'").arg(args.first());
}

QStringList DeviceService::help() const
{
    return {
        QStringLiteral("device pending <version|none>   version the next update check finds"),
        QStringLiteral("device current <version>        installed software version"),
        QStringLiteral("device progress-topic <progress|progess>  topic of the install progress"),
        QStringLiteral("device status-form <object|string>  software in the device status"),
        QStringLiteral("device ntp <on|off>             NTP enabled"),
        QStringLiteral("device ntp synced <on|off>      clock synchronised (needs NTP on)"),
        QStringLiteral("device ntp server <name>        NTP server"),
    };
}

} // namespace sim
