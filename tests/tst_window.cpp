#include "CoreFixture.h"
#include "Fonts.h"
#include "MosquittoBroker.h"
#include "SimulatorRun.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScopeGuard>
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

// Where an item lies in a grab of its window.
QRect areaIn(const QImage &shot, const QQuickItem *item)
{
    const QRectF scene = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    const qreal ratio = shot.devicePixelRatio();
    return QRectF(scene.topLeft() * ratio, scene.size() * ratio).toAlignedRect() & shot.rect();
}

// Where the text of a TextBox lies in a grab: its label's laid-out text, centred in the label.
QRect textIn(const QImage &shot, const QQuickItem *box)
{
    const QQuickItem *label = box->childItems().value(0);
    if (!label)
        return {};
    const qreal width = label->property("contentWidth").toReal();
    const qreal height = label->property("contentHeight").toReal();
    const QRectF scene = label->mapRectToScene(
        QRectF((label->width() - width) / 2, (label->height() - height) / 2, width, height));
    const qreal ratio = shot.devicePixelRatio();
    return QRectF(scene.topLeft() * ratio, scene.size() * ratio).toAlignedRect() & shot.rect();
}

// The share of an area's pixels that match.
template <typename Match> double share(const QImage &shot, const QRect &area, Match match)
{
    if (area.isEmpty())
        return 0;
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += match(QColor(shot.pixel(x, y)));
    return double(count) / (area.width() * area.height());
}

bool near(const QColor &colour, const QColor &wanted)
{
    constexpr int Tolerance = 40;
    return qAbs(colour.red() - wanted.red()) <= Tolerance &&
           qAbs(colour.green() - wanted.green()) <= Tolerance &&
           qAbs(colour.blue() - wanted.blue()) <= Tolerance;
}

// The texts are white over the dark background.
bool textLike(const QColor &colour)
{
    return colour.red() > 200 && colour.green() > 200 && colour.blue() > 200;
}

} // namespace

// The real window and screens on the real core, fed by the simulator through a real broker.
class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(Fonts::load());
        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY(m_broker->start());
        m_simulator = std::make_unique<SimulatorRun>(m_broker->host(), m_broker->port());

        // Loaded at once, as the program does: the window starts on "Busy" and follows every
        // screen change from then on, so none may come before it.
        m_core = std::make_unique<CoreFixture>(*m_broker);
        m_core->manager().load();
        QVERIFY(m_core->waitReady());
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            if (auto *quick = qobject_cast<QQuickWindow *>(window))
                m_window = quick;
        }
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QCOMPARE(m_window->size(), QSize(480, 800));
        QTRY_COMPARE_WITH_TIMEOUT(m_core->manager().screen(), QString("ScanScreens"), WaitMs);
        QCOMPARE(m_window->property("currentScreen").toString(), QString("ScanScreens"));
    }

    void cleanupTestCase()
    {
        m_core.reset();
        m_simulator.reset();
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

    void cursorRuleCoversTheWholeWindow_data()
    {
        QTest::addColumn<bool>("showCursor");
        QTest::addColumn<QPoint>("where");
        QTest::addColumn<Qt::CursorShape>("shape");
        QTest::newRow("hidden, over the header") << false << QPoint(240, 60) << Qt::BlankCursor;
        QTest::newRow("hidden, over the screen") << false << QPoint(240, 400) << Qt::BlankCursor;
        QTest::newRow("shown, over the header") << true << QPoint(240, 60) << Qt::ArrowCursor;
        QTest::newRow("shown, over the screen") << true << QPoint(240, 400) << Qt::ArrowCursor;
    }

    void cursorRuleCoversTheWholeWindow()
    {
        QFETCH(bool, showCursor);
        QFETCH(QPoint, where);
        QFETCH(Qt::CursorShape, shape);
        GUIManager &manager = m_core->manager();
        QVERIFY(manager.setProperty("showCursor", showCursor));
        const auto restore = qScopeGuard([&manager] { manager.setProperty("showCursor", true); });
        // From elsewhere, so that the window looks for the cursor again.
        QTest::mouseMove(m_window, where == QPoint(240, 60) ? QPoint(240, 400) : QPoint(240, 60));
        QTest::mouseMove(m_window, where);
        QTRY_COMPARE(m_window->cursor().shape(), shape);
    }

    // The version label lies under the screens: over the serial-number page's keyboard, its
    // pixels are the keyboard's alone.
    void versionLabelCoversNoControl()
    {
        GUIManager &manager = m_core->manager();
        const QString deviceId = manager.deviceId();
        QVERIFY(manager.setProperty("deviceId", QString()));
        manager.setIdleScreen();
        const auto restore = qScopeGuard([&manager, deviceId] {
            QGuiApplication::inputMethod()->hide();
            manager.setProperty("deviceId", deviceId);
            manager.setIdleScreen();
        });
        QTRY_COMPARE(m_window->property("currentScreen").toString(), QString("InitPage"));
        QQuickItem *field = visibleItem(m_window, "serialField");
        QVERIFY(field);
        field->forceActiveFocus();
        QGuiApplication::inputMethod()->show();
        QQuickItem *keyboard = visibleItem(m_window, "keyboard");
        QTRY_VERIFY_WITH_TIMEOUT((keyboard = visibleItem(m_window, "keyboard")) &&
                                     keyboard->property("y").toReal() ==
                                         keyboard->parentItem()->height() - keyboard->height(),
                                 WaitMs);
        QQuickItem *version = visibleItem(m_window, "version");
        QVERIFY(version);
        const QImage shown = m_window->grabWindow();
        const QRect area = areaIn(shown, version);
        QVERIFY(areaIn(shown, keyboard).contains(area));
        version->setOpacity(0);
        const QImage hidden = m_window->grabWindow();
        version->setOpacity(1);
        QCOMPARE(shown.copy(area), hidden.copy(area));
    }

    void resultScreensAsDrawn_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QColor>("symbol");
        QTest::addColumn<QColor>("otherSymbol");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("textItem");
        QTest::addColumn<QString>("text");

        QTest::newRow("valid")
            << "card valid type=epurse before=1500 after=1380 \"product=Day pass\""
            << "Valid" << QColor("#41b987") << QColor("#db4a37") << "VALID"
            << "fareProduct"
            << "Day pass";
        QTest::newRow("invalid") << "card invalid deny=205 type=epurse"
                                 << "Invalid" << QColor("#db4a37") << QColor("#41b987") << "INVALID"
                                 << "denyReason"
                                 << "The card does not have sufficient balance";
    }

    // The picture itself, sampled where each part of the screen lies.
    void resultScreensAsDrawn()
    {
        QFETCH(QString, command);
        QFETCH(QString, screen);
        QFETCH(QColor, symbol);
        QFETCH(QColor, otherSymbol);
        QFETCH(QString, title);
        QFETCH(QString, textItem);
        QFETCH(QString, text);

        GUIManager &manager = m_core->manager();
        manager.setLanguage("en_IE");
        QCOMPARE(m_simulator->execute(command), QString());
        QTRY_COMPARE_WITH_TIMEOUT(manager.screen(), screen, WaitMs);
        // Kept up while it is looked at: a loaded machine may take longer than its 3 s.
        manager.setScreen(screen, 10 * 60 * 1000);
        const auto backToIdle = qScopeGuard([&manager] { manager.setIdleScreen(); });

        QQuickItem *page = visibleItem(m_window, "screen_" + screen);
        QVERIFY(page);
        QQuickItem *symbolImage = findVisible(page, "iconImage");
        QQuickItem *titleBox = findVisible(page, "title");
        QQuickItem *textBox = findVisible(page, textItem);
        QVERIFY(symbolImage && titleBox && textBox);
        QCOMPARE(titleBox->property("text").toString(), title);
        QCOMPARE(textBox->property("text").toString(), text);
        QTRY_COMPARE_WITH_TIMEOUT(symbolImage->property("status").toInt(), 1 /* Ready */, WaitMs);

        // A frame drawn after all of it (the render thread's signal comes queued).
        int frames = 0;
        const QMetaObject::Connection counting = connect(
            m_window, &QQuickWindow::frameSwapped, this, [&frames] { ++frames; },
            Qt::QueuedConnection);
        m_window->update();
        QTRY_VERIFY_WITH_TIMEOUT(frames > 0, WaitMs);
        disconnect(counting);
        const QImage shot = m_window->grabWindow();
        QCOMPARE(manager.screen(), screen);

        const QRect symbolArea = areaIn(shot, symbolImage);
        QCOMPARE(symbolArea.size(), QSize(250, 250) * shot.devicePixelRatio());
        const double symbolShare =
            share(shot, symbolArea, [&](const QColor &c) { return near(c, symbol); });
        const double otherShare =
            share(shot, symbolArea, [&](const QColor &c) { return near(c, otherSymbol); });
        const double titleShare = share(shot, textIn(shot, titleBox), textLike);
        const double textShare = share(shot, textIn(shot, textBox), textLike);
        // The symbol's ring and mark cover about a quarter of its square; glyphs a quarter of a
        // bold title's box and, thin and anti-aliased, a few percent of a small text's box.
        QVERIFY2(symbolShare > 0.15, qPrintable(QString::number(symbolShare)));
        QVERIFY2(otherShare < 0.01, qPrintable(QString::number(otherShare)));
        QVERIFY2(titleShare > 0.1, qPrintable(QString::number(titleShare)));
        QVERIFY2(textShare > 0.02, qPrintable(QString::number(textShare)));
    }

private:
    std::unique_ptr<MosquittoBroker> m_broker;
    std::unique_ptr<SimulatorRun> m_simulator;
    std::unique_ptr<CoreFixture> m_core;
    QQuickWindow *m_window = nullptr;
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
