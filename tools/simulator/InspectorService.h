#pragma once

#include "SimService.h"

namespace sim {

// The system inspector service: availability, volume of the internal sound card, statistics;
// playback, reboot and power-off requests are logged.
class InspectorService : public SimService
{
    Q_OBJECT
public:
    InspectorService(manager::MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    void publishAll() override;
    QString command(const QStringList &args) override;
    QStringList help() const override;

protected:
    void onMessage(const QString &topic, const QByteArray &payload) override;

private:
    void publishAudio();
    void publishStats(const QString &which);

    bool m_service = true;
    int m_volume = 70;
};

} // namespace sim
