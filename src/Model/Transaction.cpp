#include "Transaction.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>

#include <limits>

namespace {

const char *denyReasonText(int id)
{
    static const QHash<int, const char *> texts = {
        {100, QT_TRANSLATE_NOOP("Transaction", "The ticket is invalid")},
        {101, QT_TRANSLATE_NOOP("Transaction", "The ticket has expired")},
        {102, QT_TRANSLATE_NOOP("Transaction", "The ticket is not allowed in this route")},
        {103, QT_TRANSLATE_NOOP("Transaction", "The ticket has already been validated")},
        {104, QT_TRANSLATE_NOOP("Transaction", "The ticket is not yet active")},
        {105, QT_TRANSLATE_NOOP("Transaction", "Please try again")},
        {106, QT_TRANSLATE_NOOP("Transaction", "The ticket does not belong to this operator")},
        {107, QT_TRANSLATE_NOOP("Transaction", "The ticket has an invalid passenger profile")},
        {108, QT_TRANSLATE_NOOP("Transaction", "The ticket is not allowed in this axis")},
        {109, QT_TRANSLATE_NOOP("Transaction", "The ticket is not allowed in this zone")},
        {110, QT_TRANSLATE_NOOP("Transaction", "The ticket has invalid timestamp")},
        {200, QT_TRANSLATE_NOOP("Transaction", "The card is invalid")},
        {201, QT_TRANSLATE_NOOP("Transaction", "The card has expired")},
        {202, QT_TRANSLATE_NOOP("Transaction", "The card is not allowed in this route")},
        {203, QT_TRANSLATE_NOOP("Transaction", "The card has already been validated")},
        {204, QT_TRANSLATE_NOOP("Transaction", "The card does not have enough trips")},
        {205, QT_TRANSLATE_NOOP("Transaction", "The card does not have sufficient balance")},
        {206, QT_TRANSLATE_NOOP("Transaction", "This card can no longer be used")},
        {207, QT_TRANSLATE_NOOP("Transaction", "The card has already been validated")},
        {208, QT_TRANSLATE_NOOP("Transaction", "The card is not active")},
        {209, QT_TRANSLATE_NOOP("Transaction", "The card does not belong to this operator")},
        {250, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
        {251, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
        {252, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
        {253, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
        {254, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
        {255, QT_TRANSLATE_NOOP("Transaction", "The card is blocked")},
        {300, QT_TRANSLATE_NOOP("Transaction", "The product is blocked")},
        {301, QT_TRANSLATE_NOOP("Transaction", "The product is not yet active")},
        {500, QT_TRANSLATE_NOOP("Transaction", "Internal Error")},
    };
    return texts.value(id, QT_TRANSLATE_NOOP("Transaction", "Unknown Error"));
}

} // namespace

Transaction::Transaction(QObject *parent) : QObject(parent) {}

Transaction::Transaction(const QJsonObject &data, QObject *parent) : QObject(parent), m_data(data)
{}

bool Transaction::valid() const
{
    return m_data.value("result").toBool();
}

Transaction::Type Transaction::type() const
{
    return Type(m_data.value("type").toInt());
}

int Transaction::denyReasonId() const
{
    return m_data.value("denyReason").toObject().value("id").toInt();
}

QString Transaction::denyReason() const
{
    return QCoreApplication::translate("Transaction", denyReasonText(denyReasonId()));
}

QString Transaction::ticketId() const
{
    return m_data.value("ticketId").toString();
}

QString Transaction::fareProduct() const
{
    return m_data.value("fareProductName").toString();
}

QString Transaction::passengerType() const
{
    return m_data.value("passengerTypeName").toString();
}

QDateTime Transaction::convertTimestamp(const QString &text)
{
    // Read as UTC from the start: read as local time, a time in the local daylight-saving gap
    // would not exist.
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9]{4}-[0-9]{2}-[0-9]{2})T([0-9]{2}:[0-9]{2}:[0-9]{2})Z$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(match.captured(2), QStringLiteral("HH:mm:ss"));
    // Both checked: QDateTime would take an invalid time as midnight.
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC).toLocalTime();
}

QVariantMap Transaction::defaultDetails() const
{
    return {
        {"fromStopGroupName", QString()},
        {"toStopGroupName", QString()},
        {"deducted", 0.0},
        {"remaining", 0.0},
        {"activationTimestamp", QDateTime()},
        {"expires", QDateTime()},
        {"transferRemainingMin", 0},
    };
}

QVariantMap Transaction::details() const
{
    QVariantMap details = defaultDetails();
    const QJsonObject card = m_data.value("card").toObject();
    const QJsonObject barcode = m_data.value("barcode").toObject();

    switch (type()) {
    case Barcode:
        details["fromStopGroupName"] = barcode.value("fromStopGroupName").toString();
        details["toStopGroupName"] = barcode.value("toStopGroupName").toString();
        details["transferRemainingMin"] = barcode.value("transferRemainingMin").toInt();
        break;
    case CardEPurse:
    case CardCappingEPurse: {
        const int before = card.value("balanceBefore").toInt();
        const int after = card.value("balanceAfter").toInt();
        details["deducted"] = (before - after) / 100.0;
        details["remaining"] = after / 100.0;
        break;
    }
    case CardPeriodPass: {
        const QJsonObject pass = card.value("periodPass").toObject();
        // Only an explicit null falls back to whole days; a missing value is 0 minutes.
        const QJsonValue minutesValue = pass.value("remainingMinutes");
        const qint64 wanted = minutesValue.isNull()
                                  ? qint64(pass.value("remainingDays").toInt()) * 1440
                                  : minutesValue.toInt();
        // A damaged record can hold any day count: bounded to what "remaining" holds, so that the
        // expiry below agrees with the minutes shown.
        const int minutes = int(qBound<qint64>(std::numeric_limits<int>::min(), wanted,
                                               std::numeric_limits<int>::max()));
        details["remaining"] = minutes;
        details["activationTimestamp"] =
            convertTimestamp(pass.value("activationTimestamp").toString());
        details["expires"] = QDateTime::currentDateTime().addSecs(qint64(minutes) * 60);
        break;
    }
    case CardStoredJourneys:
    case CardCappingStoredJourneys:
    case CardTransfer: {
        const QJsonObject journeys = card.value("storedJourneys").toObject();
        details["activationTimestamp"] =
            convertTimestamp(journeys.value("activationTimestamp").toString());
        details["remaining"] = journeys.value("after").toInt();
        details["transferRemainingMin"] = journeys.value("transferRemainingMin").toInt();
        break;
    }
    case CardTransferEPurse:
        details["deducted"] = 0;
        details["remaining"] = card.value("balanceAfter").toInt() / 100.0;
        details["transferRemainingMin"] =
            card.value("ePurse").toObject().value("transferRemainingMin").toInt();
        break;
    default:
        break;
    }
    return details;
}

QVariantMap Transaction::toMap() const
{
    return {
        {"valid", valid()},
        {"type", int(type())},
        {"denyReason", denyReason()},
        {"denyReasonId", denyReasonId()},
        {"fareProduct", fareProduct()},
        {"passengeType", passengerType()},
        {"details", details()},
    };
}
