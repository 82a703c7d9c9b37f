#pragma once

#include "ServiceManager.h"

#include <QJsonObject>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

namespace manager {

// Mirror of the board service: LEDs, buzzer, backlight, audio mute, peripheral power switches,
// ignition, temperature, voltage, RTC health and the shutdown delay. Properties follow only the
// service's reports; the setters send requests and wait for the report to come back.
class Board : public ServiceManager
{
    Q_OBJECT
    Q_PROPERTY(bool ignition READ ignition NOTIFY ignitionChanged)
    Q_PROPERTY(QString poleId READ poleId NOTIFY poleIdChanged)
    Q_PROPERTY(double temperature READ temperature NOTIFY temperatureChanged)
    Q_PROPERTY(double voltage READ voltage NOTIFY voltageChanged)
    Q_PROPERTY(int displayBrightness READ displayBrightness WRITE setDisplayBrightness NOTIFY
                   displayBrightnessChanged)
    Q_PROPERTY(QString displayBrightnessMode READ displayBrightnessMode WRITE
                   setDisplayBrightnessMode NOTIFY displayBrightnessModeChanged)
    Q_PROPERTY(int ambientLightSensor READ ambientLightSensor NOTIFY ambientLightSensorChanged)
    Q_PROPERTY(QVariantMap info READ info NOTIFY infoChanged)
    Q_PROPERTY(bool audioEnabled READ audioEnabled WRITE setAudioEnabled NOTIFY audioEnabledChanged)
    Q_PROPERTY(
        QVariantList peripherals READ peripherals WRITE setPeripherals NOTIFY peripheralsChanged)
    Q_PROPERTY(bool rtcFailed READ rtcFailed NOTIFY rtcFailedChanged)
    Q_PROPERTY(int delayShutdownFor READ delayShutdownFor WRITE setDelayShutdownFor NOTIFY
                   delayShutdownForChanged)
public:
    Board(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    // Missing or mistyped values read as false, 0, 0.0 or the empty string.
    bool ignition() const;
    // False until the board has reported the ignition (by a status or an event).
    bool ignitionKnown() const { return m_device.contains(QStringLiteral("ignition")); }
    QString poleId() const;
    double temperature() const;
    double voltage() const;
    int displayBrightness() const;
    QString displayBrightnessMode() const;
    int ambientLightSensor() const;
    QVariantMap info() const { return m_info; }
    bool audioEnabled() const;
    // One {"item", "descr", "value"} map per peripheral ever reported, in key order.
    QVariantList peripherals() const;
    bool rtcFailed() const;
    int delayShutdownFor() const { return m_delayShutdownFor; }

    QString status() const { return m_status; }
    int uptime() const;

    // The list is derived from the power reports; writing it only leaves a trace in the log.
    void setPeripherals(const QVariantList &list);
    void setDelayShutdownFor(int seconds);

signals:
    void infoChanged();
    void statusChanged();
    void ignitionChanged();
    void poleIdChanged();
    void temperatureChanged();
    void voltageChanged();
    void uptimeChanged();
    void peripheralPowerChanged(const QString &peripheral, bool value);
    void audioEnabledChanged();
    void rtcFailedChanged();
    void displayBrightnessChanged();
    void displayBrightnessModeChanged();
    void ambientLightSensorChanged();
    void peripheralsChanged();
    void delayShutdownForChanged();

public slots:
    void refresh();
    void monitor(int msec);
    void setPeripheralPower(const QString &peripheral, bool value);
    void setLedValid();
    void setLedInvalid();
    void setLedTestPattern();
    void setLedOff();
    void setDisplayBrightness(int value);
    void setDisplayBrightnessMode(const QString &value);
    void setAudioEnabled(bool value);
    bool peripheralPower(const QString &peripheral) const;
    void playBuzzer(int onMsec, int offMsec, int repeat = 0);

protected:
    void onMqttReceived(const QByteArray &message, const QString &topic) override;

private:
    void subscribe();
    void setStatus(const QString &status);
    void playLeds(const QJsonObject &pattern);

    void onInfoReceived(const QJsonObject &object, const QString &topic);
    void onStatusReceived(const QJsonObject &object, const QString &topic);
    void onConfigReceived(const QJsonObject &object, const QString &topic);
    void onDisplayReceived(const QJsonObject &object, const QString &topic);
    void onPowerReceived(const QJsonObject &object, const QString &topic);
    void onAudioReceived(const QJsonObject &object, const QString &topic);
    void onEventReceived(const QJsonObject &object, const QString &topic);

    QVariantMap m_info;
    QString m_status;
    QJsonObject m_device;
    QJsonObject m_display;
    QJsonObject m_power;
    QVariantMap m_audio;
    int m_delayShutdownFor = 0;
    QTimer m_timer;
};

} // namespace manager
