#include "BoardService.h"

#include "Logger.h"

#include <QJsonDocument>

namespace sim {

BoardService::BoardService(manager::MqttClient &mqtt, const QString &base, QObject *parent)
    : SimService(mqtt, base, QStringLiteral("board"), parent)
{
    m_uptime.start();
    for (const char *peripheral : {"display", "ftdi", "mPCIe1", "mPCIe2", "qrReader", "rfidReader",
                                   "touch", "usbHost1", "usbHub"})
        m_power.insert(peripheral, true);
    m_power.insert("mPCIe2", false);
    subscribeTo({"/status/get", "/display/get", "/power/get", "/audio/get", "/config/set",
                 "/power/set", "/display/set", "/audio/set", "/led/play/request/1",
                 "/led/off/request/1", "/buzzer/play/request/1"});
}

void BoardService::publishAll()
{
    publishReport("/info", {{"device", QJsonObject{{"firmwareVersion", "5.1.3"},
                                                   {"hardwareId", "VB-3000-0417"},
                                                   {"hardwareVersion", "rev C"}}},
                            {"service", QJsonObject{{"version", "2.7.0"}}}});
    publishConfig();
    publishStatus();
    publishDisplay();
    publishPower();
    publishAudio();
}

void BoardService::publishStatus()
{
    const QJsonObject device = {{"active", m_status != "error"},
                                {"ignition", m_ignition},
                                {"poleId", m_poleId},
                                {"temperature", m_temperature},
                                {"voltage", m_voltage},
                                {"uptime", int(m_uptime.elapsed() / 1000)},
                                {"hardwareStatus", QJsonObject{{"rtcFailed", m_rtcFailed}}}};
    publishReport("/status", {{"service", m_status != "offline"}, {"device", device}});
}

void BoardService::publishDisplay()
{
    publishReport("/display",
                  {{"brightness", m_brightness}, {"sensor", m_sensor}, {"mode", m_mode}});
}

void BoardService::publishPower()
{
    publishReport("/power", m_power);
}

void BoardService::publishAudio()
{
    publishReport("/audio", {{"mute", m_mute}});
}

void BoardService::publishConfig()
{
    publishReport("/config", {{"device", QJsonObject{{"delayShutdownFor", m_delayShutdownFor}}}});
}

void BoardService::onMessage(const QString &topic, const QByteArray &payload)
{
    if (!topic.startsWith(m_base + '/'))
        return;
    const QString suffix = topic.mid(m_base.size());
    const QJsonObject object = objectOf(payload);
    if (suffix == "/status/get") {
        publishStatus();
    } else if (suffix == "/display/get") {
        publishDisplay();
    } else if (suffix == "/power/get") {
        publishPower();
    } else if (suffix == "/audio/get") {
        publishAudio();
    } else if (suffix == "/config/set") {
        logRequest(topic, payload);
        m_delayShutdownFor =
            object.value("device").toObject().value("delayShutdownFor").toInt(m_delayShutdownFor);
        publishConfig();
    } else if (suffix == "/power/set") {
        logRequest(topic, payload);
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (it.value().isBool())
                m_power.insert(it.key(), it.value());
        }
        publishPower();
    } else if (suffix == "/display/set") {
        logRequest(topic, payload);
        m_brightness = qBound(0, object.value("brightness").toInt(m_brightness), 100);
        m_mode = object.value("mode").toString(m_mode);
        publishDisplay();
    } else if (suffix == "/audio/set") {
        logRequest(topic, payload);
        m_mute = object.value("mute").toBool(m_mute);
        publishAudio();
    } else if (suffix == "/led/play/request/1" || suffix == "/led/off/request/1" ||
               suffix == "/buzzer/play/request/1") {
        logRequest(topic, payload);
    }
}

QString BoardService::command(const QStringList &args)
{
    const QString word = args.value(0);
    const QString value = args.value(1);
    bool ok = false;
    if (word == "online" || word == "offline" || word == "error") {
        m_status = word;
        publishStatus();
    } else if (word == "ignition") {
        const bool on = parseSwitch(value, &ok);
        if (!ok)
            return QStringLiteral("ignition takes on or off");
        m_ignition = on;
        publishTo(
            m_base + "/event",
            QJsonDocument(QJsonObject{{"name", "IgnitionChanged"}, {"data", on ? 1 : 0}}).toJson());
        publishStatus();
    } else if (word == "temperature" || word == "voltage") {
        const double number = value.toDouble(&ok);
        if (!ok)
            return word + QStringLiteral(" needs a number");
        (word == "temperature" ? m_temperature : m_voltage) = number;
        publishStatus();
    } else if (word == "light") {
        const int percent = value.toInt(&ok);
        if (!ok)
            return QStringLiteral("light needs a number (percent)");
        m_sensor = qBound(0, percent, 100);
        // In automatic mode the backlight follows the ambient light.
        if (m_mode == "auto")
            m_brightness = qBound(10, m_sensor + 20, 100);
        publishDisplay();
    } else if (word == "pole") {
        if (value.isEmpty())
            return QStringLiteral("pole needs an id");
        m_poleId = value;
        publishStatus();
    } else if (word == "rtc") {
        if (value != "ok" && value != "fail")
            return QStringLiteral("rtc takes ok or fail");
        m_rtcFailed = value == "fail";
        publishStatus();
    } else {
        return QStringLiteral("unknown board command '%1'").arg(word);
    }
    return {};
}

QStringList BoardService::help() const
{
    return {
        "board online|offline|error           service state",
        "ignition on|off                      ignition event and status",
        "temperature <celsius> | voltage <volts>",
        "light <percent>                      ambient light sensor",
        "board pole <id> | board rtc ok|fail",
    };
}

} // namespace sim
