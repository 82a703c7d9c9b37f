#pragma once

#include "ServiceManager.h"
#include "SystemCommand.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace manager {

// The unit's time zone and its NTP settings. The NTP settings belong to the device service;
// the time zone is the system's, read and set with timedatectl. timedatectl runs in the
// background, one call at a time, so the screen never waits for it: the properties hold what
// it said last and notify when that changes.
class Clock : public ServiceManager
{
    Q_OBJECT
    Q_PROPERTY(QStringList timezones READ timezones NOTIFY timezonesChanged)
    Q_PROPERTY(QString timezone READ timezone WRITE setTimezone NOTIFY timezoneChanged)
    Q_PROPERTY(QString ntpServer READ ntpServer WRITE setNtpServer NOTIFY ntpServerChanged)
    Q_PROPERTY(bool ntpEnabled READ ntpEnabled WRITE setNtpEnabled NOTIFY ntpEnabledChanged)
    Q_PROPERTY(bool ntpSynced READ ntpSynced NOTIFY ntpSyncedChanged)
public:
    // How long one timedatectl call may take before it is abandoned.
    static constexpr int CommandLimitMs = 1000;

    // base: the device service's base topic; the NTP topics are under base + "/clock/ntp".
    Clock(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    // The system's time-zone names, as listed once at start (empty until then, or for good
    // when the list cannot be had).
    QStringList timezones() const { return m_timezones; }
    // The system's time zone as read last: at start, on refresh() and after a change.
    QString timezone() const { return m_timezone; }
    // Reads the zone again and changes it when it differs from name.
    void setTimezone(const QString &name);
    QString ntpServer() const { return m_ntpServer; }
    // Asks the service; the property follows its answer.
    void setNtpServer(const QString &server);
    bool ntpEnabled() const { return m_ntpEnabled; }
    void setNtpEnabled(bool enabled);
    bool ntpSynced() const { return m_ntpSynced; }

    // timedatectl is not called until ms have passed: calls asked for meanwhile wait (a zone
    // reading asked twice runs once).
    void holdCommandsFor(int ms);

    // True while a timedatectl call is running or waiting.
    bool busy() const { return m_command.isRunning() || !m_steps.isEmpty(); }

signals:
    void timezonesChanged();
    void timezoneChanged();
    void ntpServerChanged();
    void ntpEnabledChanged();
    void ntpSyncedChanged();

public:
    Q_INVOKABLE void ntpSync();
    // Asks the service for the NTP status and configuration, and reads the time zone again.
    Q_INVOKABLE void refresh();

protected:
    void onMqttReceived(const QByteArray &message, const QString &topic) override;

private:
    struct Step
    {
        enum Kind { List, Status, Set } kind;
        QString zone; // the zone to set
    };

    void queue(const Step &step);
    void runNext();
    void onCommandFinished(bool ok, const QByteArray &output);
    void onStatusReceived(const QJsonObject &object);
    void onConfigReceived(const QJsonObject &object);
    void applyEnabled(const QJsonObject &object);

    QTimer m_hold;
    QStringList m_timezones;
    QString m_timezone;
    QString m_ntpServer;
    bool m_ntpEnabled = false;
    bool m_ntpSynced = false;

    SystemCommand m_command;
    QList<Step> m_steps; // waiting; the running one is m_running
    Step m_running{Step::List, QString()};
};

} // namespace manager
