#pragma once

#include "ServiceManager.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace manager {

// Follows the GPS receiver service: its information, its fix and state, and the position and
// motion it reports. Every report is passed on whole, repeated ones included.
class GPSManager : public ServiceManager
{
    Q_OBJECT
public:
    enum FixType : unsigned { NoFix = 0, Fix2D = 1, Fix3D = 2, DeadReckoning = 3 };
    enum State : int { Offline = -1, Initializing = 0, Disabled = 1, Enabled = 2, Error = 3 };

    struct Info
    {
        QString firmware;
        QString manufacturer;
        QString model;
        QString imei;
        bool assisted = false;
        QString type;
        QString version;
    };
    struct Status
    {
        // Stored as the service reports them, values outside the lists included.
        FixType fix = NoFix;
        State state = Initializing;
        bool simulation = false;
        QString error;
    };
    struct Telemetry
    {
        double latitude = 0.0;
        double longitude = 0.0;
        double altitude = 0.0;
        double direction = 0.0;
        double groundSpeed = 0.0;
        double verticalSpeed = 0.0;
        double verticalAccuracy = 0.0;
        double horizontalAccuracy = 0.0;
        double magneticVariation = 0.0;
        QDateTime timestamp; // not reported by the service
    };

    GPSManager(MqttClient &mqtt, const QString &base, QObject *parent);

    const Info &info() const { return m_info; }
    const Status &status() const { return m_status; }
    const Telemetry &telemetry() const { return m_telemetry; }
    bool enable();
    bool disable();

signals:
    void infoChanged(manager::GPSManager::Info info);
    void statusChanged(manager::GPSManager::Status status);
    void telemetryChanged(manager::GPSManager::Telemetry data);

protected:
    void onMqttReceived(const QByteArray &message, const QString &topic) override;

private:
    void onInfoReceived(const QJsonObject &object, const QString &topic);
    void onStatusReceived(const QJsonObject &object, const QString &topic);
    void onTelemetryReceived(const QJsonObject &object, const QString &topic);

    Info m_info;
    Status m_status;
    Telemetry m_telemetry;
};

} // namespace manager

Q_DECLARE_METATYPE(manager::GPSManager::Info)
Q_DECLARE_METATYPE(manager::GPSManager::Status)
Q_DECLARE_METATYPE(manager::GPSManager::Telemetry)
