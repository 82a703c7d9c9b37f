#include "Transaction.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTranslator>
#include <QtTest>

#include <limits>

namespace {

constexpr int NoExpiry = -1;

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

// Stands in for a catalogue: marks every text of one context.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        return QLatin1String(context) == QLatin1String("Transaction")
                   ? QStringLiteral("el:") + QLatin1String(sourceText)
                   : QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class TransactionTest : public QObject
{
    Q_OBJECT

private slots:
    void details_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<int>("type");
        QTest::addColumn<QVariantMap>("expected"); // keys that differ from the defaults
        QTest::addColumn<int>("expiresInMinutes"); // from now; NoExpiry (-1): none

        QTest::newRow("empty report: a barcode") << QByteArray("{}") << 0 << QVariantMap() << -1;
        QTest::newRow("barcode") << QByteArray(
                                        R"({"type": 0, "barcode": {"fromStopGroupName": "Syntagma",
                             "toStopGroupName": "Pireas", "transferRemainingMin": 42}})")
                                 << 0
                                 << QVariantMap{{"fromStopGroupName", "Syntagma"},
                                                {"toStopGroupName", "Pireas"},
                                                {"transferRemainingMin", 42}}
                                 << -1;
        QTest::newRow("e-purse")
            << QByteArray(R"({"type": 2, "card": {"balanceBefore": 250, "balanceAfter": 100}})")
            << 2 << QVariantMap{{"deducted", 1.5}, {"remaining", 1.0}} << -1;
        QTest::newRow("capping e-purse")
            << QByteArray(R"({"type": 15, "card": {"balanceBefore": 100, "balanceAfter": 100}})")
            << 15 << QVariantMap{{"remaining", 1.0}} << -1;
        QTest::newRow("period pass in days")
            << QByteArray(R"({"type": 8, "card": {"periodPass": {"remainingMinutes": null,
                             "remainingDays": 2, "activationTimestamp": "2024-03-01T10:00:00Z"}}})")
            << 8
            << QVariantMap{{"remaining", 2880},
                           {"activationTimestamp", QDateTime({2024, 3, 1}, {10, 0}, Qt::UTC)}}
            << 2880;
        QTest::newRow("period pass in minutes")
            << QByteArray(R"({"type": 8, "card": {"periodPass": {"remainingMinutes": 90,
                             "remainingDays": 2}}})")
            << 8 << QVariantMap{{"remaining", 90}} << 90;
        // A damaged record: the day count does not fit in minutes; bounded, never wrapped.
        QTest::newRow("period pass, absurd day count")
            << QByteArray(R"({"type": 8, "card": {"periodPass": {"remainingMinutes": null,
                             "remainingDays": 2000000}}})")
            << 8 << QVariantMap{{"remaining", std::numeric_limits<int>::max()}}
            << std::numeric_limits<int>::max();
        QTest::newRow("period pass, absurd negative day count")
            << QByteArray(R"({"type": 8, "card": {"periodPass": {"remainingMinutes": null,
                             "remainingDays": -2000000}}})")
            << 8 << QVariantMap{{"remaining", std::numeric_limits<int>::min()}}
            << std::numeric_limits<int>::min();
        QTest::newRow("period pass without minutes: no fallback to days")
            << QByteArray(R"({"type": 8, "card": {"periodPass": {"remainingDays": 2}}})") << 8
            << QVariantMap{{"remaining", 0}} << 0;
        for (int type : {5, 16, 12}) {
            QTest::addRow("stored journeys, type %d", type)
                << QByteArray(R"({"type": )" + QByteArray::number(type) +
                              R"(, "card": {"storedJourneys": {"after": 7,
                              "transferRemainingMin": 30,
                              "activationTimestamp": "2024-03-01T10:00:00Z"}}})")
                << type
                << QVariantMap{{"remaining", 7},
                               {"transferRemainingMin", 30},
                               {"activationTimestamp", QDateTime({2024, 3, 1}, {10, 0}, Qt::UTC)}}
                << -1;
        }
        QTest::newRow("transfer e-purse: nothing deducted")
            << QByteArray(R"({"type": 14, "card": {"balanceBefore": 500, "balanceAfter": 250,
                             "ePurse": {"transferRemainingMin": 15}}})")
            << 14 << QVariantMap{{"deducted", 0}, {"remaining", 2.5}, {"transferRemainingMin", 15}}
            << -1;
        QTest::newRow("EMV: defaults")
            << QByteArray(R"({"type": 10, "card": {"balanceBefore": 500, "balanceAfter": 250}})")
            << 10 << QVariantMap() << -1;
        QTest::newRow("passenger type update: defaults")
            << QByteArray(R"({"type": 13, "barcode": {"fromStopGroupName": "X"}})") << 13
            << QVariantMap() << -1;
        QTest::newRow("unknown type passed through")
            << QByteArray(R"({"type": 99, "card": {"balanceAfter": 250}})") << 99 << QVariantMap()
            << -1;
        QTest::newRow("wrong types read as defaults")
            << QByteArray(R"({"type": "2", "card": [1, 2], "barcode": "x"})") << 0 << QVariantMap()
            << -1;
    }

    void details()
    {
        QFETCH(QByteArray, report);
        QFETCH(int, type);
        QFETCH(QVariantMap, expected);
        QFETCH(int, expiresInMinutes);

        const Transaction transaction(QJsonDocument::fromJson(report).object());
        QCOMPARE(int(transaction.type()), type);

        const QVariantMap details = transaction.details();
        QVariantMap want = transaction.defaultDetails();
        for (auto it = expected.constBegin(); it != expected.constEnd(); ++it)
            want[it.key()] = it.value();
        QCOMPARE(details.keys(), want.keys());
        for (const QString &key : want.keys()) {
            if (key == "expires")
                continue;
            QCOMPARE(details.value(key).type(), want.value(key).type());
            QCOMPARE(details.value(key), want.value(key));
        }
        const QDateTime expires = details.value("expires").toDateTime();
        if (expiresInMinutes == NoExpiry) {
            QVERIFY(!expires.isValid());
        } else {
            const QDateTime expected =
                QDateTime::currentDateTime().addSecs(qint64(expiresInMinutes) * 60);
            QVERIFY(expires.isValid());
            QVERIFY(qAbs(expires.secsTo(expected)) < 60);
        }
    }

    void denyReasons_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("sentence");

        QTest::newRow("none") << QByteArray("{}") << 0 << "Unknown Error";
        QTest::newRow("999") << QByteArray(R"({"denyReason": {"id": 999}})") << 999
                             << "Unknown Error";
        QTest::newRow("100") << QByteArray(R"({"denyReason": {"id": 100}})") << 100
                             << "The ticket is invalid";
        QTest::newRow("103") << QByteArray(R"({"denyReason": {"id": 103}})") << 103
                             << "The ticket has already been validated";
        QTest::newRow("110") << QByteArray(R"({"denyReason": {"id": 110}})") << 110
                             << "The ticket has invalid timestamp";
        QTest::newRow("203") << QByteArray(R"({"denyReason": {"id": 203}})") << 203
                             << "The card has already been validated";
        QTest::newRow("207") << QByteArray(R"({"denyReason": {"id": 207}})") << 207
                             << "The card has already been validated";
        QTest::newRow("209") << QByteArray(R"({"denyReason": {"id": 209}})") << 209
                             << "The card does not belong to this operator";
        for (int id = 250; id <= 255; ++id)
            QTest::addRow("%d", id)
                << QByteArray(R"({"denyReason": {"id": )" + QByteArray::number(id) + "}}") << id
                << "The card is blocked";
        QTest::newRow("256") << QByteArray(R"({"denyReason": {"id": 256}})") << 256
                             << "Unknown Error";
        QTest::newRow("301") << QByteArray(R"({"denyReason": {"id": 301}})") << 301
                             << "The product is not yet active";
        QTest::newRow("500") << QByteArray(R"({"denyReason": {"id": 500}})") << 500
                             << "Internal Error";
        QTest::newRow("id of the wrong type")
            << QByteArray(R"({"denyReason": {"id": "100"}})") << 0 << "Unknown Error";
    }

    void denyReasons()
    {
        QFETCH(QByteArray, report);
        QFETCH(int, id);
        QFETCH(QString, sentence);

        const Transaction transaction(QJsonDocument::fromJson(report).object());
        QCOMPARE(transaction.denyReasonId(), id);
        QCOMPARE(transaction.denyReason(), sentence);
    }

    void denyReasonFollowsTheLanguage()
    {
        const Transaction transaction(json(R"({"denyReason": {"id": 205}})"));
        MarkingTranslator translator;
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QCOMPARE(transaction.denyReason(), QString("el:The card does not have sufficient balance"));
        QCOMPARE(transaction.toMap().value("denyReason").toString(),
                 QString("el:The card does not have sufficient balance"));
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(transaction.denyReason(), QString("The card does not have sufficient balance"));
    }

    void timestamps_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("utc");
        QTest::addColumn<QTime>("athens"); // the local time shown (the tests run in Athens)
        QTest::newRow("UTC text") << "2024-03-01T10:00:00Z"
                                  << QDateTime({2024, 3, 1}, {10, 0}, Qt::UTC) << QTime(12, 0);
        // 03:00 to 04:00 does not exist in Athens that night; as UTC it is 06:30 summer time.
        QTest::newRow("local daylight-saving gap")
            << "2024-03-31T03:30:00Z" << QDateTime({2024, 3, 31}, {3, 30}, Qt::UTC) << QTime(6, 30);
        QTest::newRow("local hour that happens twice")
            << "2024-10-27T03:30:00Z" << QDateTime({2024, 10, 27}, {3, 30}, Qt::UTC)
            << QTime(5, 30);
        QTest::newRow("blank instead of T") << "2024-03-01 10:00:00Z" << QDateTime() << QTime();
        QTest::newRow("no zone letter") << "2024-03-01T10:00:00" << QDateTime() << QTime();
        QTest::newRow("gap text without zone letter")
            << "2024-03-31T03:30:00" << QDateTime() << QTime();
        QTest::newRow("offset instead of Z")
            << "2024-03-01T10:00:00+02:00" << QDateTime() << QTime();
        QTest::newRow("fractional seconds") << "2024-03-01T10:00:00.000Z" << QDateTime() << QTime();
        QTest::newRow("one-digit month") << "2024-3-01T10:00:00Z" << QDateTime() << QTime();
        QTest::newRow("thirteenth month") << "2024-13-01T10:00:00Z" << QDateTime() << QTime();
        QTest::newRow("hour 24") << "2024-03-01T24:00:00Z" << QDateTime() << QTime();
        QTest::newRow("trailing blank") << "2024-03-01T10:00:00Z " << QDateTime() << QTime();
        QTest::newRow("empty") << "" << QDateTime() << QTime();
    }

    void timestamps()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, utc);
        QFETCH(QTime, athens);
        const QDateTime local = Transaction::convertTimestamp(text);
        QCOMPARE(local.isValid(), utc.isValid());
        if (!utc.isValid())
            return;
        QCOMPARE(local.timeSpec(), Qt::LocalTime);
        QCOMPARE(local.toUTC(), utc);
        QCOMPARE(local.time(), athens);
    }

    void flattenedForm()
    {
        const Transaction transaction(json(R"({"result": true, "type": 2, "ticketId": "T-1",
            "fareProductName": "Ticket 90'", "passengerTypeName": "Student",
            "card": {"balanceBefore": 250, "balanceAfter": 100}})"));
        const QVariantMap map = transaction.toMap();
        QCOMPARE(map.keys(), QStringList({"denyReason", "denyReasonId", "details", "fareProduct",
                                          "passengeType", "type", "valid"}));
        QCOMPARE(map.value("valid"), QVariant(true));
        QCOMPARE(map.value("type"), QVariant(2));
        QCOMPARE(map.value("fareProduct"), QVariant("Ticket 90'"));
        QCOMPARE(map.value("passengeType"), QVariant("Student"));
        QCOMPARE(map.value("details").toMap().value("remaining"), QVariant(1.0));
        QCOMPARE(transaction.ticketId(), QString("T-1"));
        QVERIFY(transaction.ticket().isEmpty());

        // A report without "result" is not valid.
        QVERIFY(!Transaction(json(R"({"type": 2})")).valid());
    }
};

QTEST_GUILESS_MAIN(TransactionTest)
#include "tst_transaction.moc"
