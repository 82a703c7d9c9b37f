#include "Config.h"
#include "EventLogin.h"
#include "EventLogout.h"
#include "EventManager.h"
#include "GUIManager.h"
#include "LogCapture.h"

#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QDateTime at(int daysFromToday, const QTime &time)
{
    return QDateTime(QDate::currentDate().addDays(daysFromToday), time);
}

QStringList names(const QList<QObject *> &list)
{
    QStringList result;
    for (QObject *object : list)
        result << static_cast<Event *>(object)->name();
    return result;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

int savedCount(const QString &path)
{
    return QSettings(path, QSettings::IniFormat).beginReadArray("events");
}

} // namespace

class EventLogTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_config = std::make_unique<Config>(m_dir->filePath("gui.conf"), GUIManager::Defaults);
    }
    void cleanup()
    {
        m_config.reset();
        m_dir.reset();
    }

    void loadsTheLastThousand()
    {
        const QDateTime base = QDateTime::currentDateTime().addDays(-1);
        {
            QSettings file(path(), QSettings::IniFormat);
            file.beginWriteArray("events", 1500);
            for (int i = 0; i < 1500; ++i) {
                file.setArrayIndex(i);
                file.setValue("category", "Board");
                file.setValue("name", QString("event %1").arg(i));
                file.setValue("desc", "");
                file.setValue("timestamp", base.addSecs(i));
            }
            file.endArray();
        }

        LogCapture log;
        EventManager events(*m_config, path());
        QVERIFY(log.contains("[EventManager] Loading saved events : from=500 to=1500"));
        QCOMPARE(events.entries().size(), 1000);
        QCOMPARE(names(events.entries()).first(), QString("event 500"));
        QCOMPARE(names(events.data()).first(), QString("event 1499")); // newest first

        // The first addition keeps 1001; every later one drops the oldest.
        events.push(new Event("General", "one", "", QDateTime::currentDateTime()));
        QCOMPARE(events.entries().size(), 1001);
        QPointer<QObject> oldest = events.entries().first();
        events.push(new Event("General", "two", "", QDateTime::currentDateTime()));
        QCOMPARE(events.entries().size(), 1001);
        QCOMPARE(names(events.entries()).first(), QString("event 501"));
        QVERIFY(oldest); // deleted later, not at once
        QTRY_VERIFY(!oldest);

        QSettings written(path(), QSettings::IniFormat);
        QCOMPARE(written.beginReadArray("events"), 1001);
        written.setArrayIndex(0);
        QCOMPARE(written.value("name").toString(), QString("event 501"));
        written.setArrayIndex(1000);
        QCOMPARE(written.value("name").toString(), QString("two"));
        QCOMPARE(written.value("timestamp").type(), QVariant::DateTime);
    }

    void oldEntriesArePurgedAtStart()
    {
        const QDateTime now = QDateTime::currentDateTime();
        {
            EventManager events(*m_config, path());
            events.push(new Event("Board", "Ignition on", "", now.addDays(-40)));
            events.push(new Event("Board", "Ignition off", "", now.addDays(-30).addSecs(-5)));
            events.push(new Event("Board", "Ignition on", "", now.addDays(-29)));
            events.push(new Event("General", "Application started", "", now));
        }
        LogCapture log;
        EventManager events(*m_config, path());
        QCOMPARE(events.entries().size(), 2);
        QCOMPARE(log.countStartingWith("[EventManager] Deleted 2 event(s) older than "), 1);
        QSettings written(path(), QSettings::IniFormat);
        QCOMPARE(written.beginReadArray("events"), 2);

        // Nothing to purge: the line is still logged, the file is left alone.
        const QByteArray before = readFile(path());
        log.clear();
        EventManager again(*m_config, path());
        QCOMPARE(log.countStartingWith("[EventManager] Deleted 0 event(s) older than "), 1);
        QCOMPARE(readFile(path()), before);
    }

    void periods_data()
    {
        QTest::addColumn<QString>("period");
        QTest::addColumn<QStringList>("shown"); // newest first

        QTest::newRow("Today") << "Today" << QStringList{"today end", "today start"};
        QTest::newRow("Yesterday")
            << "Yesterday" << QStringList{"yesterday end", "yesterday start"};
        QTest::newRow("Last week")
            << "Last week"
            << QStringList{"today start", "yesterday end", "yesterday start", "week start"};
        QTest::newRow("All history")
            << "All history" << QStringList{"today end",       "today start", "yesterday end",
                                            "yesterday start", "week start",  "before the week"};
        QTest::newRow("case matters")
            << "today" << QStringList{"today end",       "today start", "yesterday end",
                                      "yesterday start", "week start",  "before the week"};
    }

    void periods()
    {
        QFETCH(QString, period);
        QFETCH(QStringList, shown);

        EventManager events(*m_config, path());
        events.push(new Event("Board", "before the week", "", at(-8, QTime(23, 59, 59))));
        events.push(new Event("Board", "week start", "", at(-7, QTime(0, 0))));
        events.push(new Event("Board", "yesterday start", "", at(-1, QTime(0, 0))));
        events.push(new Event("Board", "yesterday end", "", at(-1, QTime(23, 59, 59))));
        events.push(new Event("Board", "today start", "", at(0, QTime(0, 0))));
        events.push(new Event("Board", "today end", "", at(0, QTime(23, 59, 59))));

        LogCapture log;
        events.applyFilterPeriod(period);
        QCOMPARE(names(events.data()), shown);
        QVERIFY(log.contains("[EventManager] Filtering (period) : " + period));
    }

    void recentPeriods()
    {
        const QDateTime now = QDateTime::currentDateTime();
        EventManager events(*m_config, path());
        events.push(new Event("Board", "3 hours ago", "", now.addSecs(-3 * 3600)));
        events.push(new Event("Board", "90 minutes ago", "", now.addSecs(-90 * 60)));
        events.push(new Event("Board", "just now", "", now.addSecs(-1)));

        events.applyFilterPeriod("Last hour");
        QCOMPARE(names(events.data()), QStringList{"just now"});
        events.applyFilterPeriod("Last 2 hours");
        QCOMPARE(names(events.data()), QStringList({"just now", "90 minutes ago"}));
        events.applyFilterPeriod("Last 5 hours");
        QCOMPARE(events.data().size(), 3);
    }

    void filters()
    {
        const QDateTime now = QDateTime::currentDateTime();
        EventManager events(*m_config, path());
        events.push(new Event("Board", "Ignition on", "", now.addSecs(-30)));
        events.push(new Event("General", "Application started", "", now.addSecs(-20)));
        events.push(new Event("Board", "Ignition off", "", now.addSecs(-10)));
        QSignalSpy changed(&events, &EventManager::dataChanged);
        LogCapture log;

        events.applyFilter(QString("ignition"));
        QCOMPARE(names(events.data()), QStringList({"Ignition off", "Ignition on"}));
        QVERIFY(log.contains("[EventManager] Filtering : name=ignition"));

        // Bounds are inclusive and combine with the name.
        events.applyFilter(now.addSecs(-30), now.addSecs(-20));
        QCOMPARE(names(events.data()), QStringList{"Ignition on"});
        events.applyFilter(QString());
        QCOMPARE(names(events.data()), QStringList({"Application started", "Ignition on"}));
        events.applyFilter(QDateTime(), QDateTime());
        QCOMPARE(events.data().size(), 3);

        // The lowest severity shows everything.
        events.applyFilter(0);
        QCOMPARE(events.data().size(), 3);
        QVERIFY(log.contains("[EventManager] Filtering : severity=0"));
        QCOMPARE(changed.count(), 5);
    }

    void severities_data()
    {
        QTest::addColumn<int>("severity");
        QTest::addColumn<QStringList>("shown"); // newest first

        QTest::newRow("all") << int(EventManager::Info)
                             << QStringList{"Maintenance logout", "Maintenance login",
                                            "Ignition off", "Application started", "Ignition on"};
        QTest::newRow("warnings") << int(EventManager::Warning)
                                  << QStringList{"Maintenance logout", "Maintenance login"};
        QTest::newRow("critical") << int(EventManager::Critical) << QStringList{};
    }

    void severities()
    {
        QFETCH(int, severity);
        QFETCH(QStringList, shown);

        const QDateTime now = QDateTime::currentDateTime();
        {
            EventManager events(*m_config, path());
            events.push(new Event("Board", "Ignition on", "", now.addSecs(-50)));
            events.push(new Event("General", "Application started", "", now.addSecs(-40)));
            events.push(new Event("Board", "Ignition off", "", now.addSecs(-30)));
            events.push(new Event("General", "Maintenance login", "", now.addSecs(-20)));
            events.push(new Event("General", "Maintenance logout", "", now.addSecs(-10)));
        }
        // The file holds no severity: entries read back from it are ranked as well.
        EventManager events(*m_config, path());
        events.applyFilter(severity);
        QCOMPARE(names(events.data()), shown);

        // The name narrows the severity's list further.
        events.applyFilter(QString("logout"));
        QCOMPARE(events.data().size(), shown.contains("Maintenance logout") ? 1 : 0);
    }

    void clearAll()
    {
        EventManager events(*m_config, path());
        QSignalSpy changed(&events, &EventManager::dataChanged);
        events.clear();
        QCOMPARE(changed.count(), 0);
        QVERIFY(!QFile::exists(path()));

        events.push(new Event("General", "Application started", "", QDateTime::currentDateTime()));
        QPointer<QObject> entry = events.entries().first();
        events.clear();
        QVERIFY(events.data().isEmpty());
        QVERIFY(events.entries().isEmpty());
        QCOMPARE(QSettings(path(), QSettings::IniFormat).beginReadArray("events"), 0);
        QTRY_VERIFY(!entry);
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("loaded");

        const QString valid = QDateTime::currentDateTime().addSecs(-60).toString(Qt::ISODate);
        QTest::newRow("garbage") << QByteArray("\x00\x01garbage\xff[[[\n=\n", 16) << 0;
        QTest::newRow("size without entries") << QByteArray("[events]\nsize=999999999\n") << 0;
        QTest::newRow("negative size") << QByteArray("[events]\nsize=-5\n") << 0;
        QTest::newRow("truncated")
            << QByteArray("[events]\n1\\category=General\n1\\name=Application started\n"
                          "1\\timestamp=@DateTime(\\0\\0\\0\\x10\\0\\0\\0\\0\\0\\0%\\x8e") +
                   "\n2\\name=Ignition on\nsize=2\n"
            << 0;
        // A timestamp the toolkit would decode as a list of some two billion strings, and abort.
        QTest::newRow("damaged timestamp")
            << "[events]\n1\\name=damaged\n1\\timestamp=@DateTime(\\0\\0\\0\\ventx10\\0\\0"
               "\\0\\0\\0\\0%\\x8e\\xc9\\x2\\xb0\\xbd\\xf3\\0)\n2\\name=kept\n"
               "2\\timestamp=" +
                   valid.toLatin1() + "\nsize=2\n"
            << 1;
        QTest::newRow("one good entry of two")
            << "[events]\n1\\name=kept\n1\\timestamp=" + valid.toLatin1() +
                   "\n2\\name=no time\nsize=2\n"
            << 1;
    }

    void damagedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, loaded);
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        EventManager events(*m_config, path());
        QCOMPARE(events.entries().size(), loaded);
        // And it still works.
        events.push(new Event("General", "Application started", "", QDateTime::currentDateTime()));
        QCOMPARE(events.entries().size(), loaded + 1);
        QCOMPARE(QSettings(path(), QSettings::IniFormat).beginReadArray("events"), loaded + 1);
    }

    // Left by a write that never finished (kill -9, power cut), each would make the next save
    // wait some 30 s for the lock to turn stale.
    void leftoversOfAnInterruptedWrite()
    {
        const QString lock = path() + ".lock";
        const QString temp = path() + ".QkZwTb";
        {
            EventManager events(*m_config, path());
            events.push(
                new Event("General", "Application started", "", QDateTime::currentDateTime()));
        }
        writeFile(lock, "");
        writeFile(temp, "[events]\n1\\name=Igni");

        LogCapture log;
        EventManager events(*m_config, path());
        QVERIFY(!QFile::exists(lock));
        QVERIFY(!QFile::exists(temp));
        QVERIFY(
            log.contains("[EventManager] Removed the leftover of an interrupted write : " + temp));
        QCOMPARE(names(events.entries()), QStringList{"Application started"});
        events.push(new Event("Board", "Ignition on", "", QDateTime::currentDateTime()));
        QCOMPARE(savedCount(path()), 2);
        QVERIFY(!QFile::exists(lock));

        // A lock that nobody holds, appearing while running.
        writeFile(lock, "");
        log.clear();
        events.push(new Event("Board", "Ignition off", "", QDateTime::currentDateTime()));
        QCOMPARE(savedCount(path()), 3);
        QVERIFY(!QFile::exists(lock));
        QVERIFY(
            log.contains("[EventManager] Removed the leftover of an interrupted write : " + lock));
    }

    void loginAndLogoutEntries()
    {
        const User user{7, "Maria", "Papadopoulou", "1234"};
        const EventLogin login(user);
        QCOMPARE(login.category(), QString("General"));
        QCOMPARE(login.name(), QString("Maintenance login"));
        QCOMPARE(login.description(),
                 "User ID : 7\nFirst name : Maria\nLast name : Papadopoulou\nDate : " +
                     login.timestamp().toString(Qt::TextDate));
        QVERIFY(qAbs(login.timestamp().secsTo(QDateTime::currentDateTime())) < 5);

        const EventLogout logout;
        QCOMPARE(logout.name(), QString("Maintenance logout"));
        QCOMPARE(logout.description(), "Date : " + logout.timestamp().toString(Qt::TextDate));

        EventManager events(*m_config, path());
        events.push(new EventLogin(user));
        events.push(nullptr);
        QCOMPARE(events.entries().size(), 1);
    }

private:
    QString path() const { return m_dir->filePath("events.ini"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Config> m_config;
};

QTEST_GUILESS_MAIN(EventLogTest)
#include "tst_eventlog.moc"
