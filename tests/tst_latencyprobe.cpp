#include "MosquittoBroker.h"
#include "Program.h"
#include "SimulatorRun.h"

#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {
constexpr int WaitMs = 20000;
}

// The latency probe in the real program against the simulator: one figure per result when it is
// switched on, nothing at all when it is not.
class LatencyProbeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY(m_broker->start());
        m_simulator = std::make_unique<SimulatorRun>(m_broker->host(), m_broker->port());
        QTRY_VERIFY_WITH_TIMEOUT(
            m_simulator->client().state() == manager::MosquittoClient::Connected, WaitMs);
        QCOMPARE(m_simulator->execute("ignition on"), QString());
        QCOMPARE(m_simulator->execute("validator online"), QString());
    }

    void figures_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("on");
        QTest::newRow("on") << "1" << true;
        QTest::newRow("unset") << QString() << false;
        QTest::newRow("0") << "0" << false;
    }

    void figures()
    {
        QFETCH(QString, value);
        QFETCH(bool, on);
        QMap<QString, QString> environment;
        if (!value.isNull())
            environment.insert("PERNIX_LATENCY_PROBE", value);
        Program program(
            {"-e", "-H", m_broker->host(), "-P", QString::number(m_broker->port())},
            {{"serialnumber", "C00001234"}, {"gui.conf", "[gui]\ndeviceId=serialnumber\n"}},
            environment);
        QTRY_VERIFY2_WITH_TIMEOUT(program.log().contains("Setting screen : ScanScreens"),
                                  qPrintable(program.log().right(3000)), WaitMs);

        // Results of every kind, two of them alike (the screen does not change for the second),
        // each waited for so that none is merged into another's frame.
        const QStringList results = {"card valid type=epurse before=1500 after=1380",
                                     "card valid type=epurse before=1500 after=1380",
                                     "ticket invalid deny=101", "retry"};
        for (int i = 0; i < results.size(); ++i) {
            const int shown = program.count("Setting screen : ");
            QCOMPARE(m_simulator->execute(results.at(i)), QString());
            QTRY_VERIFY_WITH_TIMEOUT(program.count("Setting screen : ") > shown, WaitMs);
            if (on) {
                QTRY_VERIFY_WITH_TIMEOUT(program.count("[LatencyProbe] Result to frame") > i,
                                         WaitMs);
            }
        }
        // The last result's screen ends by itself: frames have been drawn since the results.
        QTRY_VERIFY_WITH_TIMEOUT(program.count("Setting screen : ScanScreens") >= 2, WaitMs);
        if (!on) {
            QVERIFY(!program.log().contains("[LatencyProbe]"));
            return;
        }
        QCOMPARE(program.count("[LatencyProbe] Result to frame"), results.size());
        QCOMPARE(program.count("[LatencyProbe] Idle frame"), 1);
        QCOMPARE(program.count("[LatencyProbe] First frame"), 1);
        // Each figure is the difference of the two times it gives.
        const QRegularExpression figure(
            "Result to frame : ([0-9.]+) ms \\(marked=([0-9]+) presented=([0-9]+)\\)");
        auto match = figure.globalMatch(program.log());
        while (match.hasNext()) {
            const auto line = match.next();
            const qint64 marked = line.captured(2).toLongLong();
            const qint64 presented = line.captured(3).toLongLong();
            QVERIFY(presented >= marked);
            QCOMPARE(qRound(line.captured(1).toDouble() * 1000),
                     qRound(double(presented - marked)));
        }
    }

    void cleanupTestCase()
    {
        m_simulator.reset();
        m_broker.reset();
    }

private:
    std::unique_ptr<MosquittoBroker> m_broker;
    std::unique_ptr<SimulatorRun> m_simulator;
};

QTEST_GUILESS_MAIN(LatencyProbeTest)
#include "tst_latencyprobe.moc"
