#include "Validator.h"

#include "ChangeValue.h"
#include "Logger.h"

#include <QHash>
#include <QStringList>

namespace manager {

namespace {

// A reader request is sent unless the reader is reported as wanted and no request for the other
// state is still on its way.
bool readerRequestNeeded(bool reported, const std::optional<bool> &requested, bool wanted)
{
    return reported != wanted || (requested && *requested != wanted);
}

// The card reader service publishes these outside the validator's base topic.
const QString CardRemovedTopic = QStringLiteral("velt/rfid/card/removed");
const QString CardFoundTopic = QStringLiteral("velt/rfid/card/found");

} // namespace

Validator::Validator(MqttClient &mqtt, const QString &base, QObject *parent)
    : ServiceManager(mqtt, base, QStringLiteral("[Validator] "), parent)
{
    connect(&m_mqtt, &MqttClient::disconnected, this, &Validator::onMqttDisconnected);
    subscribeTopics({"/info", "/status", "/config", "/rfid/retry", "/rfid/removed", "/rfid/scanned",
                     "/barcode/scanned", "/barcode/maintenance/scanned"});
    m_mqtt.subscribe(CardRemovedTopic, 0);
    m_mqtt.subscribe(CardFoundTopic, 0);
}

void Validator::onMqttReceived(const QByteArray &message, const QString &topic)
{
    if (topic == CardRemovedTopic) {
        emit cardRemoved(); // whatever the payload
        return;
    }

    enum Kind { Info, Status, Config, Retry, Found, Scanned, Maintenance };
    const QString suffix = topic.startsWith(m_base) ? topic.mid(m_base.size()) : QString();
    Kind kind;
    if (suffix == QLatin1String("/info"))
        kind = Info;
    else if (suffix == QLatin1String("/status"))
        kind = Status;
    else if (suffix == QLatin1String("/config"))
        kind = Config;
    else if (suffix == QLatin1String("/rfid/retry"))
        kind = Retry;
    else if (topic == CardFoundTopic)
        kind = Found;
    else if (suffix == QLatin1String("/rfid/scanned") ||
             suffix == QLatin1String("/barcode/scanned"))
        kind = Scanned;
    else if (suffix == QLatin1String("/barcode/maintenance/scanned"))
        kind = Maintenance;
    else
        return; // another manager's message: not parsed here

    QJsonObject object;
    if (!parse(message, object))
        return;

    switch (kind) {
    case Info:
        onInfoReceived(object, topic);
        break;
    case Status:
        onStatusReceived(object, topic);
        break;
    case Config:
        onConfigReceived(object, topic);
        break;
    case Retry:
        emit cardRetry();
        break;
    case Found:
        onCardFound(object, topic);
        break;
    case Scanned:
        if (suffix.startsWith(QLatin1String("/rfid")))
            onCardScannedReceived(object, topic);
        else
            onBarcodeScannedReceived(object, topic);
        break;
    case Maintenance:
        emit maintenanceBarcodeScanned(object);
        break;
    }
}

void Validator::onMqttDisconnected()
{
    // A request on its way may be lost with the connection; the next report tells.
    m_barcodeRequest.reset();
    m_rfidRequest.reset();
    setStatus(QStringLiteral("offline"));
    setReason(QStringLiteral("MQTT Disconnected"), QStringLiteral("#0001"));
}

void Validator::onInfoReceived(const QJsonObject &message, const QString &)
{
    const QJsonObject device = message.value("device").toObject();
    m_barcode.fromJson(device.value("barcode").toObject());
    m_rfid.fromJson(device.value("rfid").toObject());
    settleReaderRequests();

    if (changeValue(m_version, message.value("service").toObject().value("version").toString()))
        emit versionChanged();
}

void Validator::onStatusReceived(const QJsonObject &message, const QString &)
{
    // The reader models follow the report even while the service is down.
    const QJsonObject device = message.value("device").toObject();
    m_rfid.fromJson(device.value("rfid").toObject());
    m_barcode.fromJson(device.value("barcode").toObject());
    settleReaderRequests();

    if (!message.value("service").toBool()) {
        setStatus(QStringLiteral("offline"));
        setReason(QStringLiteral("BLM service down"), QStringLiteral("#0002"));
        return;
    }

    if (changeValue(m_vehicle, message.value("obu").toObject().value("vehicleUuid").toString()))
        emit vehicleChanged();
    if (changeValue(m_route, message.value("route").toObject().value("axisName").toString()))
        emit routeChanged();

    const QJsonObject state = message.value("state").toObject();
    const auto flag = [&state](const char *name) {
        return state.value(name).toBool();
    };
    const bool hasObu = flag("hasObu");
    const bool hasQr = flag("hasQr");

    if (flag("init")) {
        setStatus(QStringLiteral("init"));
        setReason({}, {});
    } else if (!flag("hasRfid") && m_rfid.state() == QLatin1String("Updating")) {
        setStatus(QStringLiteral("offline"));
        setReason(QStringLiteral("RFID firmware is updating"), QStringLiteral("#0003"));
    } else if (!flag("hasRfid")) {
        setStatus(QStringLiteral("offline"));
        setReason(QStringLiteral("RFID is not operational"), QStringLiteral("#0004"));
    } else if (state.contains("hasNtp") && !flag("hasNtp")) {
        setStatus(QStringLiteral("offline"));
        setReason(QStringLiteral("NTP not synchronized"), QStringLiteral("#0007"));
    } else if (flag("hasRoute") && hasQr && hasObu) {
        setStatus(QStringLiteral("online"));
        setReason({}, {});
    } else if (flag("hasRoute")) {
        QStringList reasons;
        if (!hasObu)
            reasons << QStringLiteral("OBC lost");
        if (!hasQr)
            reasons << QStringLiteral("Barcode not operational");
        setStatus(QStringLiteral("degraded"));
        setReason(reasons.join(QLatin1Char(',')), QStringLiteral("#0005"));
    } else {
        setStatus(QStringLiteral("out-of-service"));
        setReason(QStringLiteral("No route"), QStringLiteral("#0006"));
    }
}

void Validator::onConfigReceived(const QJsonObject &message, const QString &)
{
    const QJsonObject blm = message.value("blm").toObject();
    const QJsonObject validator = message.value("validator").toObject();

    m_config.setObuUrl(parseUrl(blm));
    m_config.setPassbackSecs(validator.value("passbackTime").toString().toInt(nullptr, 10));
    m_config.setPassbackQrEnabled(validator.value("qr_passback").toString() ==
                                  QLatin1String("true"));

    LOG_WARNING << m_prefix << "Config received : ";
    // The password stays out of the log.
    LOG_WARNING << m_prefix
                << "OBU URL         : " << m_config.obuUrl().toString(QUrl::RemovePassword);
    LOG_WARNING << m_prefix << "Passback Time   : " << m_config.passbackSecs() << " sec(s)";
    LOG_WARNING << m_prefix
                << "Passback QR En  : " << (m_config.passbackQrEnabled() ? "true" : "false");
    emit configChanged();
}

void Validator::onCardFound(const QJsonObject &message, const QString &)
{
    emit cardDetected(message.value("uid").toString(), mapCardType(message.value("type").toInt()));
}

void Validator::onCardScannedReceived(const QJsonObject &message, const QString &)
{
    // Receivers are connected directly and copy what they need.
    const Transaction transaction(message.value("transaction").toObject());
    emit ticketValidated(transaction);
}

void Validator::onBarcodeScannedReceived(const QJsonObject &message, const QString &topic)
{
    onCardScannedReceived(message, topic);
}

void Validator::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    LOG_WARNING << m_prefix << "Validator status is : " << status;
    m_status = status;
    emit statusChanged();
}

void Validator::setReason(const QString &reason, const QString &code)
{
    if (reason == m_reason && code == m_reasonCode)
        return;
    m_reason = reason;
    m_reasonCode = code;
    emit reasonChanged();
}

QUrl Validator::parseUrl(const QJsonObject &blm)
{
    QUrl url;
    url.setScheme(QStringLiteral("mqtt"));
    url.setHost(blm.value("obu_host").toString(), QUrl::DecodedMode);
    const QString user = blm.value("obu_username").toString();
    if (!user.isEmpty())
        url.setUserName(user, QUrl::DecodedMode);
    const QString password = blm.value("obu_password").toString();
    if (!password.isEmpty())
        url.setPassword(password, QUrl::DecodedMode);
    const int port = blm.value("obu_port").toString().toInt(nullptr, 10);
    if (port > 0)
        url.setPort(port);
    return url;
}

QString Validator::mapCardType(int type)
{
    static const QHash<int, QString> names = {
        {0, "Unknown"},
        {1, "ISO14443-4A"},
        {2, "ISO14443-4B"},
        {4, "MIFARE Classic 1K"},
        {8, "MIFARE Classic 4K"},
        {16, "MIFARE Plus 2K"},
        {32, "MIFARE Plus 4K"},
        {64, "MIFARE Ultralight"},
        {128, "MIFARE Mini"},
        {256, "MIFARE DESFire"},
        {512, "EMV"},
        {32768, "Other"},
    };
    return names.value(type, QStringLiteral("Unknown"));
}

void Validator::enableBarcode()
{
    if (readerRequestNeeded(m_barcode.enabled(), m_barcodeRequest, true) &&
        m_mqtt.publish(QByteArray(), QStringLiteral("velt/barcode/enable")))
        m_barcodeRequest = true;
}

void Validator::disableBarcode()
{
    if (readerRequestNeeded(m_barcode.enabled(), m_barcodeRequest, false) &&
        m_mqtt.publish(QByteArray(), QStringLiteral("velt/barcode/disable")))
        m_barcodeRequest = false;
}

void Validator::enableRfid()
{
    if (readerRequestNeeded(m_rfid.enabled(), m_rfidRequest, true) &&
        publishJson(QStringLiteral("velt/rfid/enable"), {{"autoread", true}}))
        m_rfidRequest = true;
}

void Validator::disableRfid()
{
    if (readerRequestNeeded(m_rfid.enabled(), m_rfidRequest, false) &&
        m_mqtt.publish(QByteArray(), QStringLiteral("velt/rfid/disable")))
        m_rfidRequest = false;
}

void Validator::settleReaderRequests()
{
    if (m_barcodeRequest == m_barcode.enabled())
        m_barcodeRequest.reset();
    if (m_rfidRequest == m_rfid.enabled())
        m_rfidRequest.reset();
}

void Validator::refreshConfig()
{
    m_mqtt.publish(QByteArrayLiteral("{ }"), m_base + "/config/get");
}

void Validator::saveConfig()
{
    const QUrl url = m_config.obuUrl();
    const QJsonObject blm = {
        {"obu_host", url.host(QUrl::FullyDecoded)},
        {"obu_port", url.port()},
        {"obu_username", url.userName(QUrl::FullyDecoded)},
        {"obu_password", url.password(QUrl::FullyDecoded)},
    };
    const QJsonObject validator = {
        {"passbackTime", m_config.passbackSecs()},
        {"qr_passback", m_config.passbackQrEnabled()},
    };
    publishJson(m_base + "/config/set", {{"blm", blm}, {"validator", validator}});
}

} // namespace manager
