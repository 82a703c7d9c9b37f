#pragma once

#include "ServiceManager.h"

#include <QJsonObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

namespace manager {

// Mirrors the system inspector service: its availability, version and the volume of the
// internal sound card; asks it to play sounds, set the volume, reboot and power off the unit,
// at once or after a delay.
class Inspector : public ServiceManager
{
    Q_OBJECT
    Q_PROPERTY(QVariantMap info READ info NOTIFY infoChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(int audioVolume READ audioVolume WRITE setAudioVolume NOTIFY audioVolumeChanged)
public:
    Inspector(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    QVariantMap info() const { return m_info; }
    QString status() const { return m_status; }
    int audioVolume() const;

    // Time left before the scheduled power-off, or -1 when none is armed.
    int shutdownRemainingMs() const;

signals:
    void infoChanged();
    void statusChanged();
    void audioVolumeChanged();
    // Emitted when the request is announced; the request itself follows 2 s later.
    void systemRebootStarted();
    void systemShutdownStarted();

public slots:
    void refresh();
    void monitor(int msec);
    // Only asks the service: the property follows its next "/audio" report.
    void setAudioVolume(int value);
    void audioPlay(const QString &file);
    void systemReboot();
    void systemShutdown();
    // The first schedule stands until it fires or is aborted.
    void scheduleShutdown(int sec);
    void abortShutdown();

protected:
    void onMqttReceived(const QByteArray &message, const QString &topic) override;

private:
    void subscribe();
    void setStatus(const QString &status);
    void onInfoReceived(const QJsonObject &object, const QString &topic);
    void onStatusReceived(const QJsonObject &object, const QString &topic);
    void onAudioReceived(const QJsonObject &object, const QString &topic);

    QVariantMap m_info;
    QString m_status;
    QVariantMap m_audio;
    QTimer m_timer;
    QTimer m_shutdownTimer;
};

} // namespace manager
