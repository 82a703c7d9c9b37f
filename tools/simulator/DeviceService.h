#pragma once

#include "SimService.h"

#include <QJsonObject>
#include <QString>
#include <QTimer>
#include <QVector>

namespace sim {

// The device service: NTP settings of the clock, and the software update (check for a new
// version, download and install it with progress reports). It can also speak as an older
// service does.
class DeviceService : public SimService
{
    Q_OBJECT
public:
    explicit DeviceService(manager::MqttClient &mqtt,
                           const QString &base = QStringLiteral("velt/device"),
                           QObject *parent = nullptr);

    void publishAll() override;
    QString command(const QStringList &args) override;
    QStringList help() const override;

protected:
    void onMessage(const QString &topic, const QByteArray &payload) override;

private:
    struct InstallStep
    {
        QString message;
        int progress;
    };

    QString ntpCommand(const QStringList &args);
    void applyNtpConfig(const QJsonObject &request);
    void publishNtpStatus();
    void publishNtpConfig();
    void publishDeviceStatus();
    void publishSoftwareStatus();
    void startCheck();
    void finishCheck();
    void startInstall();
    void nextInstallStep();
    QString updateState() const;

    bool m_ntpEnabled = true;
    bool m_ntpSynced = true;
    QString m_ntpServer = QStringLiteral("pool.ntp.org");

    QString m_current = QStringLiteral("1.0.18");
    QString m_pending;
    // The version the update server offers; a check turns it into the pending one.
    QString m_offered;
    QTimer m_checkTimer;
    QTimer m_installTimer;
    QVector<InstallStep> m_installSteps;
    int m_installIndex = 0;
    // Older services: progress on the misspelled topic, the device status with the installed
    // version as plain text.
    bool m_misspelledProgress = false;
    bool m_statusAsString = false;
};

} // namespace sim
