#include "SAM.h"
#include "ValidatorBarcode.h"
#include "ValidatorConfig.h"
#include "ValidatorRfid.h"

#include <QJsonDocument>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

QJsonObject json(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

// Which notifications an object emitted (in declaration order, each as often as emitted).
class SignalLog
{
public:
    explicit SignalLog(QObject *target)
    {
        const QMetaObject *meta = target->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() != QMetaMethod::Signal)
                continue;
            m_spies.emplace_back(
                QString::fromLatin1(method.name()),
                std::make_unique<QSignalSpy>(target, ("2" + method.methodSignature()).constData()));
        }
    }
    QStringList emitted() const
    {
        QStringList names;
        for (const auto &spy : m_spies)
            for (int n = 0; n < spy.second->count(); ++n)
                names << spy.first;
        return names;
    }

private:
    std::vector<std::pair<QString, std::unique_ptr<QSignalSpy>>> m_spies;
};

} // namespace

class ReaderModelsTest : public QObject
{
    Q_OBJECT

private slots:
    void rfidStates_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("0") << 0 << "Init" << false;
        QTest::newRow("1") << 1 << "Idle" << false;
        QTest::newRow("2") << 2 << "Searching" << true;
        QTest::newRow("3") << 3 << "CardFound" << true;
        QTest::newRow("4") << 4 << "Updating" << false;
        QTest::newRow("5") << 5 << "Error" << false;
        QTest::newRow("9") << 9 << "Unknown" << false;
        QTest::newRow("-1") << -1 << "Unknown" << false;
    }

    void rfidStates()
    {
        QFETCH(int, number);
        QFETCH(QString, state);
        QFETCH(bool, enabled);

        ValidatorRfid rfid;
        rfid.fromJson({{"state", number}});
        QCOMPARE(rfid.state(), state);
        QCOMPARE(rfid.enabled(), enabled);
    }

    void rfidReports_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<QStringList>("signals_");

        QTest::newRow("state only: lists emptied, modules replaced")
            << QByteArray(R"({"state": 2})")
            << QStringList{"stateChanged", "enabledChanged", "samChanged"};
        QTest::newRow("info without firmware: nothing")
            << QByteArray(R"({"model": "X"})") << QStringList();
        QTest::newRow("info") << QByteArray(R"({"firmware": "1.2", "model": "R1",
                                   "manufacturer": "ACME", "uid": "04AB"})")
                              << QStringList{"firmwareChanged", "manufacturerChanged",
                                             "modelChanged", "deviceUidChanged"};
        QTest::newRow("info and status together")
            << QByteArray(R"({"firmware": "1.2", "state": 1, "active": true, "error": "E1"})")
            << QStringList{"activeChanged", "errorChanged", "stateChanged", "firmwareChanged",
                           "samChanged"};
        QTest::newRow("wrong types") << QByteArray(R"({"state": "2", "slots": 3, "sams": {}})")
                                     << QStringList{"stateChanged", "samChanged"};
    }

    void rfidReports()
    {
        QFETCH(QByteArray, report);
        QFETCH(QStringList, signals_);

        ValidatorRfid rfid;
        SignalLog log(&rfid);
        rfid.fromJson(json(report));
        QStringList emitted = log.emitted();
        QStringList expected = signals_;
        std::sort(emitted.begin(), emitted.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(emitted, expected);
    }

    void stateChangeSignalsInOrder()
    {
        ValidatorRfid rfid;
        QStringList order;
        connect(&rfid, &ValidatorRfid::stateChanged, this, [&] { order << "state"; });
        connect(&rfid, &ValidatorRfid::enabledChanged, this, [&] { order << "enabled"; });
        rfid.setState("Searching");
        QCOMPARE(order, QStringList({"state", "enabled"}));
        rfid.setState("Searching");
        QCOMPARE(order.size(), 2);
    }

    void modulesAndSlots()
    {
        ValidatorRfid rfid;
        rfid.fromJson(json(R"({"state": 1, "slots": [true, false, true, false],
            "sams": [{"slot": 1, "enabled": true, "unlocked": true, "atr": "3B", "batch": "B7",
                      "mode": "AV2", "name": "SAM-A", "production": "2021-06-30", "uid": "U1",
                      "vendor": "NXP", "version": "2.0"},
                     {"slot": 3, "production": "2021-13-01"}]})"));
        QCOMPARE(rfid.numberOfSlots(), 4);
        QCOMPARE(rfid.slotFlags(), QVector<bool>({true, false, true, false}));
        QPointer<SAM> first = rfid.sam();
        QVERIFY(first);
        QCOMPARE(first->slot(), 1);
        QVERIFY(first->enabled() && first->unlocked());
        QCOMPARE(first->atr(), QString("3B"));
        QCOMPARE(first->mode(), QString("AV2"));
        QCOMPARE(first->production(), QDate(2021, 6, 30));
        QCOMPARE(first->vendor(), QString("NXP"));
        QCOMPARE(first->parent(), &rfid);

        // A thirteenth month is no date.
        SAM second(json(R"({"slot": 3, "production": "2021-13-01"})"));
        QVERIFY(!second.production().isValid());

        // The next report replaces every module; the old ones go once the event loop runs.
        QSignalSpy samChanged(&rfid, &ValidatorRfid::samChanged);
        rfid.fromJson(json(R"({"state": 1, "sams": []})"));
        QCOMPARE(samChanged.count(), 1);
        QCOMPARE(rfid.sam(), nullptr);
        QCOMPARE(rfid.numberOfSlots(), 0);
        QVERIFY(first);
        QTRY_VERIFY(!first);
    }

    void samSignalsOnlyOnChange()
    {
        SAM sam(json(R"({"slot": 2, "name": "A"})"));
        QSignalSpy slot(&sam, &SAM::slotChanged);
        QSignalSpy name(&sam, &SAM::nameChanged);
        sam.fromJson(json(R"({"slot": 2, "name": "B"})"));
        QCOMPARE(slot.count(), 0);
        QCOMPARE(name.count(), 1);
        sam.fromJson({});
        QCOMPARE(slot.count(), 1);
        QCOMPARE(sam.slot(), 0);
        QCOMPARE(sam.name(), QString());
    }

    void barcodeAppliesPresentKeysOnly()
    {
        ValidatorBarcode barcode;
        barcode.fromJson(json(R"({"active": true, "enabled": true, "firmware": "F1",
            "manufacturer": "M", "model": "Q", "version": "ignored"})"));
        QVERIFY(barcode.active());
        QCOMPARE(barcode.model(), QString("Q"));
        QCOMPARE(barcode.version(), QString());

        SignalLog log(&barcode);
        barcode.fromJson(json(R"({"enabled": false})"));
        QCOMPARE(log.emitted(), QStringList{"enabledChanged"});
        QVERIFY(barcode.active());
        QCOMPARE(barcode.firmware(), QString("F1"));
        QCOMPARE(barcode.manufacturer(), QString("M"));
    }

    void configSettersNotifyOnChange()
    {
        ValidatorConfig config;
        SignalLog log(&config);
        config.setPassbackSecs(0);
        config.setPassbackQrEnabled(false);
        config.setObuUrl(QUrl());
        QVERIFY(log.emitted().isEmpty());
        config.setPassbackSecs(30);
        config.setPassbackSecs(30);
        config.setObuUrl(QUrl("mqtt://obu:1883"));
        QCOMPARE(log.emitted(), QStringList({"obuUrlChanged", "passbackSecsChanged"}));
        QVERIFY(config.setProperty("passbackQrEnabled", true));
        QVERIFY(config.passbackQrEnabled());
    }
};

QTEST_GUILESS_MAIN(ReaderModelsTest)
#include "tst_readermodels.moc"
