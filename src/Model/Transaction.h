#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVariantMap>

// The result of one validation attempt (a card presented or a ticket scanned), as the validator
// service reports it. Every property is computed from the report on each call.
class Transaction : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool valid READ valid CONSTANT)
    Q_PROPERTY(Type type READ type CONSTANT)
    Q_PROPERTY(int denyReasonId READ denyReasonId CONSTANT)
    Q_PROPERTY(QString denyReason READ denyReason CONSTANT)
    Q_PROPERTY(QString ticketId READ ticketId CONSTANT)
    Q_PROPERTY(QString fareProduct READ fareProduct CONSTANT)
    Q_PROPERTY(QString passengerType READ passengerType CONSTANT)
    Q_PROPERTY(QVariantMap details READ details CONSTANT)
    Q_PROPERTY(QVariantMap ticket READ ticket CONSTANT)
public:
    // Values as the service sends them; others pass through type() unchanged.
    enum Type : int {
        Barcode = 0,
        CardEPurse = 2,
        CardStoredJourneys = 5,
        CardPeriodPass = 8,
        CardEMV = 10,
        CardTransfer = 12,
        CardPassengerTypeUpdate = 13,
        CardTransferEPurse = 14,
        CardCappingEPurse = 15,
        CardCappingStoredJourneys = 16,
    };
    Q_ENUM(Type)

    explicit Transaction(QObject *parent = nullptr);
    Transaction(const QJsonObject &data, QObject *parent = nullptr);

    bool valid() const;
    Type type() const;
    int denyReasonId() const;
    // In the current interface language.
    QString denyReason() const;
    QString ticketId() const;
    QString fareProduct() const;
    QString passengerType() const;
    QVariantMap details() const;
    QVariantMap ticket() const { return {}; }

    // The report as received.
    QJsonObject data() const { return m_data; }
    QVariantMap defaultDetails() const;
    // The flattened form the result screens read.
    QVariantMap toMap() const;

    // "yyyy-MM-ddTHH:mm:ssZ" (UTC) in local time; invalid when the text does not match.
    static QDateTime convertTimestamp(const QString &text);

private:
    QJsonObject m_data;
};
