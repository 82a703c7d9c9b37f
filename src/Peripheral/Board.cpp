#include "Board.h"

#include "Logger.h"

#include <QCoreApplication>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QtMath>

#include <initializer_list>

namespace manager {

namespace {

const char *const Context = "manager::Board";

// Wire key -> untranslated label; translated when asked for, so a language change shows at once.
const QHash<QString, const char *> &peripheralLabels()
{
    static const QHash<QString, const char *> labels = {
        {QStringLiteral("display"), QT_TRANSLATE_NOOP("manager::Board", "Display")},
        {QStringLiteral("ftdi"), QT_TRANSLATE_NOOP("manager::Board", "FTDI")},
        {QStringLiteral("mPCIe1"), QT_TRANSLATE_NOOP("manager::Board", "mPCIe #1")},
        {QStringLiteral("mPCIe2"), QT_TRANSLATE_NOOP("manager::Board", "mPCIe #2")},
        {QStringLiteral("qrReader"), QT_TRANSLATE_NOOP("manager::Board", "QR Reader")},
        {QStringLiteral("rfidReader"), QT_TRANSLATE_NOOP("manager::Board", "RFID Reader")},
        {QStringLiteral("touch"), QT_TRANSLATE_NOOP("manager::Board", "Touch")},
        {QStringLiteral("usbHost1"), QT_TRANSLATE_NOOP("manager::Board", "USB Host")},
        {QStringLiteral("usbHub"), QT_TRANSLATE_NOOP("manager::Board", "USB Hub")},
    };
    return labels;
}

// Any JSON value as plain text: strings bare, whole numbers without a fraction, null as nothing.
QString jsonText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return QLatin1String(boolText(value.toBool()));
    case QJsonValue::Double: {
        const double number = value.toDouble();
        if (number == qFloor(number) && qAbs(number) < 1e15)
            return QString::number(qint64(number));
        return QString::number(number, 'g', QLocale::FloatingPointShortest);
    }
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return QString();
}

// Stores value under key unless it equals current (what the getter reads now); true on change.
bool replace(QJsonObject &object, const QString &key, const QJsonValue &value,
             const QJsonValue &current)
{
    if (value == current)
        return false;
    object.insert(key, value);
    return true;
}

QJsonObject ledStep(int r, int g, int b, int durationMs)
{
    return {{"color", QJsonObject{{"r", r}, {"g", g}, {"b", b}}}, {"duration", durationMs}};
}

QJsonObject ledPattern(int repeat, std::initializer_list<QJsonObject> steps)
{
    QJsonArray array;
    for (const QJsonObject &step : steps)
        array.append(step);
    return {{"repeat", repeat}, {"steps", array}};
}

} // namespace

Board::Board(MqttClient &mqtt, const QString &base, QObject *parent)
    : ServiceManager(mqtt, base, QStringLiteral("[Board] "), parent), m_timer(this)
{
    // Every (re)connection brings the mirror up to date.
    connect(&m_mqtt, &MqttClient::connected, this, &Board::refresh);
    connect(&m_timer, &QTimer::timeout, this, &Board::refresh);
    subscribe();
}

bool Board::ignition() const
{
    return m_device.value("ignition").toBool();
}

QString Board::poleId() const
{
    return m_device.value("poleId").toString();
}

double Board::temperature() const
{
    return m_device.value("temperature").toDouble();
}

double Board::voltage() const
{
    return m_device.value("voltage").toDouble();
}

int Board::displayBrightness() const
{
    return m_display.value("brightness").toInt();
}

QString Board::displayBrightnessMode() const
{
    return m_display.value("mode").toString();
}

int Board::ambientLightSensor() const
{
    return m_display.value("sensor").toInt();
}

bool Board::audioEnabled() const
{
    return !m_audio.value("mute").toBool();
}

QVariantList Board::peripherals() const
{
    const QHash<QString, const char *> &labels = peripheralLabels();
    QVariantList list;
    for (auto it = m_power.constBegin(); it != m_power.constEnd(); ++it) {
        const char *label = labels.value(it.key(), nullptr);
        list.append(QVariantMap{
            {"item", it.key()},
            {"descr", label ? QCoreApplication::translate(Context, label) : QString()},
            {"value", it.value().toBool()},
        });
    }
    return list;
}

bool Board::rtcFailed() const
{
    return m_device.value("rtcFailed").toBool();
}

int Board::uptime() const
{
    return m_device.value("uptime").toInt();
}

void Board::setPeripherals(const QVariantList &list)
{
    LOG_WARNING << m_prefix << "--- SET PERIPHERALS : " << list;
}

void Board::setDelayShutdownFor(int seconds)
{
    if (seconds == m_delayShutdownFor)
        return;
    LOG_INFO << m_prefix << "Setting board shutdown delay : " << seconds << " sec(s)";
    publishJson(m_base + "/config/set", {{"device", QJsonObject{{"delayShutdownFor", seconds}}}});
}

void Board::refresh()
{
    LOG_DEBUG << m_prefix << "Refreshing data";
    // Info and config are not asked for: the service keeps them retained on their topics.
    for (const char *topic : {"/status/get", "/display/get", "/power/get", "/audio/get"})
        m_mqtt.publish(QByteArrayLiteral("{}"), m_base + QLatin1String(topic));
}

void Board::monitor(int msec)
{
    monitorWith(m_timer, msec);
}

void Board::setPeripheralPower(const QString &peripheral, bool value)
{
    LOG_INFO << m_prefix << "Setting peripheral power: " << peripheral << " (" << boolText(value)
             << ")";
    publishJson(m_base + "/power/set", {{peripheral, value}});
}

void Board::setLedValid()
{
    LOG_INFO << m_prefix << "Setting LEDs to : VALID";
    playLeds(ledPattern(3, {ledStep(0, 255, 0, 100), ledStep(0, 0, 0, 50)}));
}

void Board::setLedInvalid()
{
    LOG_INFO << m_prefix << "Setting LEDs to : INVALID";
    playLeds(ledPattern(3, {ledStep(255, 0, 0, 100), ledStep(0, 0, 0, 50)}));
}

void Board::setLedTestPattern()
{
    LOG_INFO << m_prefix << "Setting LEDs to : TEST";
    playLeds(ledPattern(30, {ledStep(255, 0, 0, 1000), ledStep(0, 0, 0, 200),
                             ledStep(0, 255, 0, 1000), ledStep(0, 0, 0, 200)}));
}

void Board::setLedOff()
{
    m_mqtt.publish(QByteArray(), m_base + "/led/off/request/1");
}

void Board::setDisplayBrightness(int value)
{
    LOG_INFO << m_prefix << "Setting display brightness : " << value;
    publishJson(m_base + "/display/set", {{"brightness", value}});
}

void Board::setDisplayBrightnessMode(const QString &value)
{
    LOG_INFO << m_prefix << "Setting display brightness mode : " << value;
    publishJson(m_base + "/display/set", {{"mode", value}});
}

void Board::setAudioEnabled(bool value)
{
    LOG_INFO << m_prefix << "Setting audio enabled : " << boolText(value);
    publishJson(m_base + "/audio/set", {{"mute", !value}});
}

bool Board::peripheralPower(const QString &peripheral) const
{
    return m_power.value(peripheral).toBool();
}

void Board::playBuzzer(int onMsec, int offMsec, int repeat)
{
    LOG_INFO << m_prefix
             << QStringLiteral("Playing buzzer : on=%1 msec, off=%2 msec, repeat=%3")
                    .arg(onMsec)
                    .arg(offMsec)
                    .arg(repeat);
    publishJson(m_base + "/buzzer/play/request/1",
                {{"onMsec", onMsec}, {"offMsec", offMsec}, {"repeat", repeat}});
}

void Board::onMqttReceived(const QByteArray &message, const QString &topic)
{
    QJsonObject object;
    if (!acceptUnderBase(message, topic, object))
        return;

    if (topic == m_base + "/info")
        onInfoReceived(object, topic);
    else if (topic == m_base + "/status")
        onStatusReceived(object, topic);
    else if (topic == m_base + "/config")
        onConfigReceived(object, topic);
    else if (topic == m_base + "/display")
        onDisplayReceived(object, topic);
    else if (topic == m_base + "/power")
        onPowerReceived(object, topic);
    else if (topic == m_base + "/event")
        onEventReceived(object, topic);
    else if (topic == m_base + "/audio")
        onAudioReceived(object, topic);
}

void Board::subscribe()
{
    LOG_INFO << m_prefix << "Subscribing to topics";
    subscribeTopics({"/info", "/status", "/config", "/display", "/power", "/audio", "/event"});
}

void Board::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    LOG_INFO << m_prefix << "Status changed : " << status;
    m_status = status;
    emit statusChanged();
}

void Board::playLeds(const QJsonObject &pattern)
{
    publishJson(m_base + "/led/play/request/1", pattern);
}

void Board::onInfoReceived(const QJsonObject &object, const QString &topic)
{
    LOG_INFO << m_prefix << "Processing info topic " << topic;
    const QJsonObject device = object.value("device").toObject();
    const QJsonObject service = object.value("service").toObject();
    m_info = {
        {"firmware", device.value("firmwareVersion").toString()},
        {"hardwareId", device.value("hardwareId").toString()},
        {"hardware", device.value("hardwareVersion").toString()},
        {"version", service.value("version").toString()},
    };
    emit infoChanged();
}

void Board::onStatusReceived(const QJsonObject &object, const QString &topic)
{
    LOG_DEBUG << m_prefix << "Processing status topic " << topic;
    if (!object.value("service").toBool()) {
        setStatus(QStringLiteral("offline"));
        return;
    }
    const QJsonObject device = object.value("device").toObject();
    // An inactive device reports nothing trustworthy: keep the last values.
    if (!device.value("active").toBool()) {
        setStatus(QStringLiteral("error"));
        return;
    }
    setStatus(QStringLiteral("online"));

    // The ignition is unknown until the board first reports it, so that first report is a
    // change whatever its value (a unit that starts with the ignition off must still go to
    // sleep). A missing or mistyped value reports nothing: it must not turn the unit off.
    const QJsonValue ignition = device.value("ignition");
    if (ignition.isBool() && replace(m_device, "ignition", ignition, m_device.value("ignition"))) {
        LOG_DEBUG << m_prefix << "Ignition changed : " << boolText(ignition.toBool());
        emit ignitionChanged();
    }
    const QString poleId = device.value("poleId").toString();
    if (replace(m_device, "poleId", poleId, this->poleId())) {
        LOG_DEBUG << m_prefix << "Pole Id changed : " << poleId;
        emit poleIdChanged();
    }
    const double temperature = device.value("temperature").toDouble();
    if (replace(m_device, "temperature", temperature, this->temperature())) {
        LOG_DEBUG << m_prefix << "Temperature changed : " << temperature;
        emit temperatureChanged();
    }
    const double voltage = device.value("voltage").toDouble();
    if (replace(m_device, "voltage", voltage, this->voltage())) {
        LOG_DEBUG << m_prefix << "Voltage changed : " << voltage;
        emit voltageChanged();
    }
    const int uptime = device.value("uptime").toInt();
    if (replace(m_device, "uptime", uptime, this->uptime())) {
        LOG_DEBUG << m_prefix << "Uptime changed : " << uptime;
        emit uptimeChanged();
    }
    const bool rtcFailed = device.value("hardwareStatus").toObject().value("rtcFailed").toBool();
    if (replace(m_device, "rtcFailed", rtcFailed, this->rtcFailed())) {
        LOG_DEBUG << m_prefix << "RTC Status changed : " << (rtcFailed ? "FAIL" : "OK");
        emit rtcFailedChanged();
    }
}

void Board::onConfigReceived(const QJsonObject &object, const QString &topic)
{
    LOG_INFO << m_prefix << "Processing config topic " << topic;
    const int delay = object.value("device").toObject().value("delayShutdownFor").toInt();
    if (delay == m_delayShutdownFor)
        return;
    LOG_INFO << m_prefix << "Board shutdown delay changed : " << delay << " sec(s)";
    m_delayShutdownFor = delay;
    emit delayShutdownForChanged();
}

void Board::onDisplayReceived(const QJsonObject &object, const QString &)
{
    const int brightness = object.value("brightness").toInt();
    if (replace(m_display, "brightness", brightness, displayBrightness())) {
        LOG_DEBUG << m_prefix << "Display brightness changed : " << brightness;
        emit displayBrightnessChanged();
    }
    const int sensor = object.value("sensor").toInt();
    if (replace(m_display, "sensor", sensor, ambientLightSensor())) {
        LOG_DEBUG << m_prefix << "Display sensor changed : " << sensor;
        emit ambientLightSensorChanged();
    }
    const QString mode = object.value("mode").toString();
    if (replace(m_display, "mode", mode, displayBrightnessMode())) {
        LOG_DEBUG << m_prefix << "Display brightness mode changed : " << mode;
        emit displayBrightnessModeChanged();
    }
}

void Board::onPowerReceived(const QJsonObject &object, const QString &)
{
    bool changed = false;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        // A switch is either on or off; null (unknown) and mistyped values are not states.
        const QJsonValue value = it.value();
        if (!value.isBool() || m_power.value(it.key()) == value)
            continue;
        const bool on = value.toBool();
        LOG_INFO << m_prefix << "Peripheral power changed '" << it.key() << "' : " << boolText(on);
        m_power.insert(it.key(), on);
        emit peripheralPowerChanged(it.key(), on);
        changed = true;
    }
    if (changed)
        emit peripheralsChanged();
}

void Board::onAudioReceived(const QJsonObject &object, const QString &)
{
    const bool mute = object.value("mute").toBool();
    if (mute == m_audio.value("mute").toBool())
        return;
    m_audio.insert("mute", mute);
    emit audioEnabledChanged();
}

void Board::onEventReceived(const QJsonObject &object, const QString &)
{
    const QString name = object.value("name").toString();
    const QJsonValue data = object.value("data");
    const QString text = jsonText(data);
    LOG_INFO << m_prefix << "Event received : " << name << " [" << text << "]";
    if (name != QLatin1String("IgnitionChanged"))
        return;
    // The service sends the input level as a number, a string or a boolean: 0, "0" and false
    // mean off. Listeners want every edge, even one that repeats the known state.
    const bool off = text == QLatin1String("0") || (data.isBool() && !data.toBool());
    m_device.insert("ignition", !off);
    emit ignitionChanged();
}

} // namespace manager
