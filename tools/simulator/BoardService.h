#pragma once

#include "SimService.h"

#include <QElapsedTimer>

namespace sim {

// The board service: ignition, temperature, voltage, display, audio mute, peripheral power,
// shutdown delay; LED, buzzer and power requests are logged.
class BoardService : public SimService
{
    Q_OBJECT
public:
    BoardService(manager::MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    void publishAll() override;
    QString command(const QStringList &args) override;
    QStringList help() const override;

protected:
    void onMessage(const QString &topic, const QByteArray &payload) override;

private:
    void publishStatus();
    void publishDisplay();
    void publishPower();
    void publishAudio();
    void publishConfig();

    QString m_status = QStringLiteral("online"); // online, offline, error
    bool m_ignition = true;
    QString m_poleId = QStringLiteral("P-17");
    double m_temperature = 41.5;
    double m_voltage = 24.2;
    bool m_rtcFailed = false;
    int m_brightness = 80;
    int m_sensor = 55;
    QString m_mode = QStringLiteral("auto");
    QJsonObject m_power;
    bool m_mute = false;
    int m_delayShutdownFor = 120;
    QElapsedTimer m_uptime;
};

} // namespace sim
