#pragma once

#include "SimService.h"

#include <QString>

namespace sim {

// The GPS receiver service: receiver information, fix and state, and the position reports.
class GpsService : public SimService
{
    Q_OBJECT
public:
    explicit GpsService(manager::MqttClient &mqtt, const QString &base = QStringLiteral("velt/gps"),
                        QObject *parent = nullptr);

    void publishAll() override;
    QString command(const QStringList &args) override;
    QStringList help() const override;

protected:
    void onMessage(const QString &topic, const QByteArray &payload) override;

private:
    // Positions go out only while the receiver is enabled and has a fix.
    bool reporting() const { return m_enabled && m_fix > 0; }
    void setEnabled(bool enabled);
    void publishStatus();
    void publishData();

    bool m_enabled = true;
    int m_fix = 2; // 0 none, 1 2D, 2 3D, 3 dead reckoning
    double m_latitude = 37.9838;
    double m_longitude = 23.7275;
    double m_altitude = 92.0;
    double m_direction = 0.0;
    double m_groundSpeed = 0.0;
    double m_magneticVariation = 5.1;
    double m_verticalSpeed = 0.0;
    double m_verticalAccuracy = 3.8;
    double m_horizontalAccuracy = 2.1;
};

} // namespace sim
