#include "ValidatorService.h"

#include "Logger.h"

#include <QDateTime>
#include <QHash>
#include <QJsonDocument>

namespace sim {

namespace {

const QString CardFoundTopic = QStringLiteral("velt/rfid/card/found");
const QString CardRemovedTopic = QStringLiteral("velt/rfid/card/removed");
const QString BarcodeEnableTopic = QStringLiteral("velt/barcode/enable");
const QString BarcodeDisableTopic = QStringLiteral("velt/barcode/disable");
const QString RfidEnableTopic = QStringLiteral("velt/rfid/enable");
const QString RfidDisableTopic = QStringLiteral("velt/rfid/disable");

// Transaction types by name, as the service numbers them.
int typeNumber(const QString &word, bool *ok)
{
    static const QHash<QString, int> types = {
        {"barcode", 0},
        {"epurse", 2},
        {"journeys", 5},
        {"pass", 8},
        {"emv", 10},
        {"transfer", 12},
        {"passenger-update", 13},
        {"transfer-epurse", 14},
        {"capping-epurse", 15},
        {"capping-journeys", 16},
    };
    if (types.contains(word)) {
        *ok = true;
        return types.value(word);
    }
    return word.toInt(ok);
}

QString utcText(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

} // namespace

ValidatorService::ValidatorService(manager::MqttClient &mqtt, const QString &base, QObject *parent)
    : SimService(mqtt, base, QStringLiteral("validator"), parent)
{
    subscribeTo({"/config/get", "/config/set"});
    for (const QString &topic :
         {BarcodeEnableTopic, BarcodeDisableTopic, RfidEnableTopic, RfidDisableTopic})
        m_mqtt.subscribe(topic);
}

void ValidatorService::publishAll()
{
    publishInfo();
    publishStatus();
    publishConfig();
}

void ValidatorService::publishInfo()
{
    const QJsonObject rfid = {{"firmware", "2.4.1"},
                              {"model", "CR-500"},
                              {"manufacturer", "Velt"},
                              {"uid", "04A2B3C4D5E6F7"}};
    const QJsonObject barcode = {
        {"firmware", "1.9.0"}, {"model", "QR-200"}, {"manufacturer", "Velt"}};
    publishReport("/info", {{"device", QJsonObject{{"barcode", barcode}, {"rfid", rfid}}},
                            {"service", QJsonObject{{"version", "3.2.0"}}}});
}

void ValidatorService::publishStatus()
{
    const QJsonArray sams = {
        QJsonObject{{"slot", 1},
                    {"enabled", true},
                    {"unlocked", true},
                    {"atr", "3B DF 18 FF 81 91 FE 1F C3 80 73 C8 21 13 66 01"},
                    {"batch", "B2021-07"},
                    {"mode", "AV3"},
                    {"name", "SAM AV3"},
                    {"production", "2021-07-15"},
                    {"uid", "0480A2B1C2"},
                    {"vendor", "NXP"},
                    {"version", "3.0"}},
    };
    const QJsonObject rfid = {{"state", m_rfidState},
                              {"active", m_hasRfid},
                              {"error", m_hasRfid ? "" : "Reader not responding"},
                              {"slots", QJsonArray{true, false, false, false}},
                              {"sams", sams}};
    const QJsonObject barcode = {{"active", m_hasQr}, {"enabled", m_barcodeEnabled}};
    QJsonObject state = {{"init", m_init},
                         {"hasRfid", m_hasRfid},
                         {"hasRoute", m_hasRoute},
                         {"hasQr", m_hasQr},
                         {"hasObu", m_hasObu}};
    if (m_reportNtp)
        state.insert("hasNtp", m_hasNtp);
    publishReport("/status", {{"service", m_service},
                              {"device", QJsonObject{{"rfid", rfid}, {"barcode", barcode}}},
                              {"obu", QJsonObject{{"vehicleUuid", m_vehicle}}},
                              {"route", QJsonObject{{"axisName", m_hasRoute ? m_route : ""}}},
                              {"state", state}});
}

void ValidatorService::publishConfig()
{
    const QJsonObject blm = {{"obu_host", m_obuHost},
                             {"obu_port", m_obuPort > 0 ? QString::number(m_obuPort) : QString()},
                             {"obu_username", m_obuUser},
                             {"obu_password", m_obuPassword}};
    const QJsonObject validator = {{"passbackTime", QString::number(m_passbackSecs)},
                                   {"qr_passback", m_qrPassback ? "true" : "false"}};
    publishReport("/config", {{"blm", blm}, {"validator", validator}});
}

void ValidatorService::onMessage(const QString &topic, const QByteArray &payload)
{
    if (topic == m_base + "/config/get") {
        logRequest(topic, payload);
        publishConfig();
    } else if (topic == m_base + "/config/set") {
        logRequest(topic, payload);
        const QJsonObject object = objectOf(payload);
        const QJsonObject blm = object.value("blm").toObject();
        const QJsonObject validator = object.value("validator").toObject();
        m_obuHost = blm.value("obu_host").toString(m_obuHost);
        m_obuPort = blm.value("obu_port").toInt(m_obuPort);
        m_obuUser = blm.value("obu_username").toString(m_obuUser);
        m_obuPassword = blm.value("obu_password").toString(m_obuPassword);
        m_passbackSecs = validator.value("passbackTime").toInt(m_passbackSecs);
        m_qrPassback = validator.value("qr_passback").toBool(m_qrPassback);
        publishConfig();
    } else if (topic == BarcodeEnableTopic || topic == BarcodeDisableTopic) {
        logRequest(topic, payload);
        m_barcodeEnabled = topic == BarcodeEnableTopic;
        publishStatus();
    } else if (topic == RfidEnableTopic || topic == RfidDisableTopic) {
        logRequest(topic, payload);
        // A reader that is updating its firmware does not take orders.
        if (m_rfidState != 4)
            m_rfidState = topic == RfidEnableTopic ? 2 : 1;
        publishStatus();
    }
}

QString ValidatorService::command(const QStringList &args)
{
    if (args.isEmpty())
        return QStringLiteral("validator: a command is missing");
    const QString word = args.first();
    if (word == "card" || word == "ticket")
        return validation(word == "card", args.mid(1));
    if (word == "retry") {
        publishTo(m_base + "/rfid/retry", QByteArray());
        return {};
    }
    if (word == "card-found") {
        if (args.size() < 2)
            return QStringLiteral("card-found needs a uid");
        const int type = args.size() > 2 ? args.at(2).toInt() : 4;
        publishTo(CardFoundTopic,
                  QJsonDocument(QJsonObject{{"uid", args.at(1)}, {"type", type}}).toJson());
        return {};
    }
    if (word == "card-removed") {
        publishTo(CardRemovedTopic, QByteArray());
        return {};
    }
    if (word == "maintenance") {
        const QByteArray text = args.mid(1).join(' ').toUtf8();
        const QJsonDocument document = QJsonDocument::fromJson(text);
        if (!document.isObject())
            return QStringLiteral("maintenance needs a JSON object");
        publishTo(m_base + "/barcode/maintenance/scanned", document.toJson());
        return {};
    }
    if (word == "route" || word == "vehicle") {
        if (args.size() < 2)
            return word + QStringLiteral(" needs a value");
        (word == "route" ? m_route : m_vehicle) = args.mid(1).join(' ');
        publishStatus();
        return {};
    }
    return setState(args);
}

QString ValidatorService::setState(const QStringList &args)
{
    const QString state = args.first();
    // Every state starts from a healthy, running service.
    m_service = true;
    m_init = false;
    m_hasRfid = m_hasRoute = m_hasQr = m_hasObu = m_hasNtp = true;
    m_reportNtp = true;
    if (m_rfidState == 4 || m_rfidState == 5)
        m_rfidState = 2;

    if (state == "online") {
    } else if (state == "init") {
        m_init = true;
    } else if (state == "degraded") {
        const QString what = args.value(1, QStringLiteral("both"));
        if (what != "obu" && what != "qr" && what != "both")
            return QStringLiteral("degraded takes obu, qr or both");
        m_hasObu = what == "qr";
        m_hasQr = what == "obu";
    } else if (state == "out-of-service") {
        m_hasRoute = false;
    } else if (state == "down") {
        m_service = false;
    } else if (state == "rfid-updating") {
        m_hasRfid = false;
        m_rfidState = 4;
    } else if (state == "no-rfid") {
        m_hasRfid = false;
        m_rfidState = 5;
    } else if (state == "ntp-lost") {
        m_hasNtp = false;
    } else if (state == "ntp-unreported") {
        m_reportNtp = false;
    } else {
        return QStringLiteral("unknown validator command '%1'").arg(state);
    }
    publishStatus();
    return {};
}

QString ValidatorService::validation(bool card, const QStringList &args)
{
    const QString what = args.value(0);
    if (what != "valid" && what != "invalid")
        return QStringLiteral("%1 needs valid or invalid").arg(card ? "card" : "ticket");
    const bool valid = what == "valid";

    QHash<QString, QString> options;
    for (const QString &arg : args.mid(1)) {
        const int eq = arg.indexOf('=');
        if (eq <= 0)
            return QStringLiteral("expected key=value, got '%1'").arg(arg);
        options.insert(arg.left(eq), arg.mid(eq + 1));
    }
    static const QStringList known = {"type",    "deny",  "product", "passenger", "ticket",
                                      "before",  "after", "trips",   "transfer",  "days",
                                      "minutes", "from",  "to"};
    for (auto it = options.constBegin(); it != options.constEnd(); ++it) {
        if (!known.contains(it.key()))
            return QStringLiteral("unknown option '%1' (known: %2)")
                .arg(it.key(), known.join(", "));
    }
    const auto number = [&options](const char *key, int fallback) {
        bool ok = false;
        const int value = options.value(key).toInt(&ok);
        return ok ? value : fallback;
    };

    bool typeOk = true;
    const int type =
        options.contains("type") ? typeNumber(options.value("type"), &typeOk) : (card ? 2 : 0);
    if (!typeOk)
        return QStringLiteral("unknown transaction type '%1'").arg(options.value("type"));
    const QString activated = utcText(QDateTime::currentDateTime().addSecs(-600));

    QJsonObject periodPass = {{"remainingDays", number("days", 30)},
                              {"activationTimestamp", activated}};
    periodPass.insert("remainingMinutes", options.contains("minutes")
                                              ? QJsonValue(number("minutes", 0))
                                              : QJsonValue(QJsonValue::Null));
    const QJsonObject cardObject = {
        {"balanceBefore", number("before", 1000)},
        {"balanceAfter", number("after", valid ? 880 : 1000)},
        {"periodPass", periodPass},
        {"storedJourneys", QJsonObject{{"activationTimestamp", activated},
                                       {"after", number("trips", 9)},
                                       {"transferRemainingMin", number("transfer", 90)}}},
        {"ePurse", QJsonObject{{"transferRemainingMin", number("transfer", 90)}}}};
    const QJsonObject barcodeObject = {
        {"fromStopGroupName", options.value("from", QStringLiteral("Syntagma"))},
        {"toStopGroupName", options.value("to", QStringLiteral("Airport"))},
        {"transferRemainingMin", number("transfer", 90)}};

    QJsonObject transaction = {
        {"result", valid},
        {"type", type},
        {"ticketId",
         options.value("ticket", QStringLiteral("T-%1").arg(QDateTime::currentSecsSinceEpoch()))},
        {"fareProductName", options.value("product", card ? QStringLiteral("Stored value")
                                                          : QStringLiteral("Ticket 90'"))},
        {"passengerTypeName", options.value("passenger", QStringLiteral("Adult"))}};
    if (card)
        transaction.insert("card", cardObject);
    else
        transaction.insert("barcode", barcodeObject);
    if (!valid || options.contains("deny"))
        transaction.insert("denyReason", QJsonObject{{"id", number("deny", card ? 200 : 100)}});

    publishTo(m_base + (card ? "/rfid/scanned" : "/barcode/scanned"),
              QJsonDocument(QJsonObject{{"transaction", transaction}}).toJson());
    return {};
}

QStringList ValidatorService::help() const
{
    return {
        "validator online|init|out-of-service|down|rfid-updating|no-rfid|ntp-lost|ntp-unreported",
        "validator degraded obu|qr|both       OBC link and/or barcode reader lost",
        "validator route <name> | vehicle <id>",
        "card valid|invalid [key=value ...]   card validation; keys: type (epurse, journeys,",
        "                                     pass, emv, transfer, passenger-update,",
        "                                     transfer-epurse, capping-epurse, capping-journeys",
        "                                     or a number), deny, product, passenger, ticket,",
        "                                     before, after (cents), trips, transfer (min),",
        "                                     days, minutes",
        "ticket valid|invalid [key=value ...] ticket validation; keys as for card, and from, to",
        "retry                                the card must be presented again",
        "card-found <uid> [type]              a card entered the field (type: 1, 2, 4, ... 512)",
        "card-removed                         the card left the field",
        "maintenance <json object>            a maintenance barcode was scanned",
    };
}

} // namespace sim
