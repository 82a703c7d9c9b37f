#include "CoreFixture.h"
#include "MosquittoBroker.h"
#include "Simulator.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include <memory>

namespace {

constexpr int WaitMs = 10000;

// The visible item of that name, anywhere in the window's visual tree.
QQuickItem *findVisible(QQuickItem *item, const QString &name)
{
    if (!item->isVisible())
        return nullptr;
    if (item->objectName() == name)
        return item;
    for (QQuickItem *child : item->childItems()) {
        if (QQuickItem *found = findVisible(child, name))
            return found;
    }
    return nullptr;
}

QQuickItem *visibleItem(QQuickWindow *window, const QString &name)
{
    return findVisible(window->contentItem(), name);
}

// Distinct colours in a coarse sample of the picture: a blank grab has one.
int colours(const QImage &image)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 8)
        for (int x = 0; x < image.width(); x += 8)
            seen.insert(image.pixel(x, y));
    return seen.size();
}

} // namespace

// The real window and screens on the real core, fed by the simulator through a real broker.
class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY(m_broker->start());
        m_simClient = std::make_unique<manager::MqttClient>();
        m_simClient->setHostname(m_broker->host());
        m_simClient->setPort(m_broker->port());
        m_simClient->setClientId("simulator");
        m_simulator = std::make_unique<sim::Simulator>(*m_simClient, sim::Simulator::Bases());
        m_simClient->connect();

        m_core = std::make_unique<CoreFixture>(*m_broker);
        QVERIFY(m_core->waitReady());
        m_core->manager().load();
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            if (auto *quick = qobject_cast<QQuickWindow *>(window))
                m_window = quick;
        }
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QCOMPARE(m_window->size(), QSize(480, 800));
        QTRY_COMPARE_WITH_TIMEOUT(m_core->manager().screen(), QString("ScanScreens"), WaitMs);
    }

    void cleanupTestCase()
    {
        m_core.reset();
        m_simulator.reset();
        m_simClient.reset();
        m_broker.reset();
    }

    void languageFromTheFlag()
    {
        GUIManager &manager = m_core->manager();
        QCOMPARE(manager.language(), QString("el_GR"));
        QQuickItem *hint = visibleItem(m_window, "hint");
        QVERIFY(hint);
        QTRY_VERIFY(hint->property("text").toString().startsWith(QString::fromUtf8("ΣΑΡΩΣΤΕ")));

        QQuickItem *flag = visibleItem(m_window, "languageButton");
        QVERIFY(flag);
        const QPointF centre = flag->mapToScene(QPointF(flag->width() / 2, flag->height() / 2));
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centre.toPoint());
        QTRY_COMPARE(manager.language(), QString("en_IE"));
        QVERIFY(hint->property("text").toString().startsWith("SCAN"));

        QTest::mouseClick(m_window, Qt::LeftButton, {}, centre.toPoint());
        QTRY_COMPARE(manager.language(), QString("el_GR"));
        QVERIFY(hint->property("text").toString().startsWith(QString::fromUtf8("ΣΑΡΩΣΤΕ")));
    }

    void validCardShowsItsDetailsThenIdle()
    {
        GUIManager &manager = m_core->manager();
        manager.setLanguage("en_IE");
        QCOMPARE(m_simulator->execute("card valid type=journeys trips=7 transfer=75 "
                                      "\"product=10 trips\""),
                 QString());
        QTRY_COMPARE_WITH_TIMEOUT(manager.screen(), QString("Valid"), WaitMs);
        QQuickItem *product = visibleItem(m_window, "fareProduct");
        QVERIFY(product);
        QCOMPARE(product->property("text").toString(), QString("10 trips"));
        QQuickItem *trips = visibleItem(m_window, "rightValue");
        QVERIFY(trips);
        QCOMPARE(trips->property("text").toString(), QString("7"));
        QCOMPARE(visibleItem(m_window, "leftValue")->property("text").toString(),
                 QString("75 mins"));
        // Back to the idle screen after the result's three seconds.
        QTRY_COMPARE_WITH_TIMEOUT(manager.screen(), QString("ScanScreens"), 5000);
    }

    void hiddenButtonOpensThePinPage()
    {
        GUIManager &manager = m_core->manager();
        QTRY_COMPARE_WITH_TIMEOUT(manager.screen(), QString("ScanScreens"), WaitMs);
        QQuickItem *clock = visibleItem(m_window, "clock");
        QVERIFY(clock);
        const QPoint centre =
            clock->mapToScene(QPointF(clock->width() / 2, clock->height() / 2)).toPoint();
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(m_window, Qt::LeftButton, {}, centre, 50);
        QTRY_COMPARE_WITH_TIMEOUT(manager.screen(), QString("Login"), 3000);
        // Once more: back to the idle screen.
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(m_window, Qt::LeftButton, {}, centre, 50);
        QTRY_COMPARE_WITH_TIMEOUT(manager.screen(), QString("ScanScreens"), 3000);
    }

    void cardAndTicketScreensSwitchLocally()
    {
        QObject *root = m_window;
        root->setProperty("currentScreen", "ScanCard");
        QQuickItem *button = visibleItem(m_window, "switchButton");
        QVERIFY(button);
        const QPoint centre =
            button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint();
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centre);
        QTRY_COMPARE(root->property("currentScreen").toString(), QString("ScanBarcode"));
        QCOMPARE(m_core->manager().screen(), QString("ScanScreens")); // the manager is not told
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centre);
        QTRY_COMPARE(root->property("currentScreen").toString(), QString("ScanCard"));
        root->setProperty("currentScreen", m_core->manager().screen());
    }

    void screenshotsShowEachState()
    {
        GUIManager &manager = m_core->manager();
        QCOMPARE(m_simulator->execute("card valid type=epurse before=1500 after=1380"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(manager.screen(), QString("Valid"), WaitMs);
        QTest::qWait(300);
        const QImage valid = m_window->grabWindow();

        QCOMPARE(m_simulator->execute("card invalid deny=205 type=epurse"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(manager.screen(), QString("Invalid"), WaitMs);
        QTest::qWait(300);
        const QImage invalid = m_window->grabWindow();
        QQuickItem *reason = visibleItem(m_window, "denyReason");
        QVERIFY(reason);
        QCOMPARE(reason->property("text").toString(),
                 QString("The card does not have sufficient balance"));

        QVERIFY(colours(valid) > 10);
        QVERIFY(colours(invalid) > 10);
        QVERIFY(valid != invalid);
    }

private:
    std::unique_ptr<MosquittoBroker> m_broker;
    std::unique_ptr<manager::MqttClient> m_simClient;
    std::unique_ptr<sim::Simulator> m_simulator;
    std::unique_ptr<CoreFixture> m_core;
    QQuickWindow *m_window = nullptr;
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
