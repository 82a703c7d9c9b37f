#include "Config.h"
#include "GUIManager.h"
#include "LogCapture.h"

#include <QFile>
#include <QJsonDocument>
#include <QLockFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Replaces one "name=value" line of the INI text.
QByteArray withEntry(QByteArray ini, const QByteArray &name, const QByteArray &value)
{
    const int at = ini.indexOf("\n" + name + "=");
    if (at < 0)
        return ini;
    const int end = ini.indexOf('\n', at + 1);
    return ini.left(at + 1) + name + "=" + value + ini.mid(end);
}

// The text of a lock that names this running process, as QLockFile writes it. Left behind without
// being held (a process that died, its process id now taken by this one), QLockFile alone waits
// for it to age.
QByteArray liveLockText()
{
    QTemporaryDir dir;
    QLockFile probe(dir.filePath("probe.lock"));
    if (!probe.lock())
        return QByteArray();
    return readFile(dir.filePath("probe.lock"));
}

void setAge(const QString &path, int seconds)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-seconds),
                             QFileDevice::FileModificationTime));
}

// Edits another entry on disk and waits for its report. The watcher reports in order, so a
// report that should not have come would have arrived before this one: exactly one more report,
// holding only the edited entry.
void expectOnlyMarkerEdit(const QString &path, QSignalSpy &changed)
{
    const int before = changed.count();
    writeFile(path, withEntry(readFile(path), "screenSaverBg", "marker"));
    QTRY_VERIFY(changed.count() > before);
    QCOMPARE(changed.count(), before + 1);
    QCOMPARE(changed.last().at(0).toMap(), QVariantMap({{"gui/screenSaverBg", "marker"}}));
}

} // namespace

class ConfigTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
    }
    void cleanup() { m_tmp.reset(); }

    void createsFileWithAllDefaults()
    {
        LogCapture log;
        const QString path = file();
        Config config(path, GUIManager::Defaults);

        QCOMPARE(log.count("[Config] Creating default config file : " + path), 1);
        QSettings written(path, QSettings::IniFormat);
        QCOMPARE(written.allKeys().size(), 25);
        QCOMPARE(written.childGroups(), QStringList({"gui", "log", "mqtt", "topics"}));
        QCOMPARE(written.value("log/level").toString(), QString("2"));
        QCOMPARE(written.value("gui/screenSaverImg").toString(),
                 QString("qrc:/qml/images/Icons/velt.png"));
        QCOMPARE(config.keys(), GUIManager::Defaults.keys());

        // A second start finds the file: no creation, no change, defaults keep their types.
        log.clear();
        Config again(path, GUIManager::Defaults);
        QCOMPARE(log.countStartingWith("[Config] Creating"), 0);
        QCOMPARE(again.get("log/level").type(), QVariant::Int);
        QCOMPARE(again.get("log/syslog").type(), QVariant::Bool);
    }

    void externalEditIsReported()
    {
        const QString path = file();
        Config config(path, GUIManager::Defaults);
        QSignalSpy fileChanged(&config, &Config::configFileChanged);
        QSignalSpy changed(&config, &Config::configChanged);
        QStringList order;
        connect(&config, &Config::configFileChanged, this, [&] { order << "file"; });
        connect(&config, &Config::configChanged, this, [&] { order << "changed"; });

        writeFile(path, withEntry(readFile(path), "level", "3"));
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(fileChanged.count(), 1);
        QCOMPARE(order, QStringList({"file", "changed"}));
        const QVariantMap changes = changed.at(0).at(0).toMap();
        QCOMPARE(changes.keys(), QStringList{"log/level"});
        QCOMPARE(changes.value("log/level"), QVariant(QString("3")));
        QCOMPARE(config.get("log/level").toInt(), 3);

        // A second edit of the same size right away (same modification time, most likely).
        writeFile(path, withEntry(readFile(path), "level", "4"));
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(config.get("log/level").toInt(), 4);

        // Saved again with the same content: nothing to report.
        writeFile(path, readFile(path));
        expectOnlyMarkerEdit(path, changed);
        QCOMPARE(fileChanged.count(), 3);
    }

    void replacedFileIsStillWatched()
    {
        const QString path = file();
        Config config(path, GUIManager::Defaults);
        QSignalSpy changed(&config, &Config::configChanged);

        // Write a new file and rename it over the old one, as QSaveFile and editors do.
        const QString temp = path + ".new";
        writeFile(temp, withEntry(readFile(path), "host", "broker.local"));
        QVERIFY(::rename(QFile::encodeName(temp).constData(),
                         QFile::encodeName(path).constData()) == 0);
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(config.get("mqtt/host").toString(), QString("broker.local"));

        // The new file is watched too.
        writeFile(path, withEntry(readFile(path), "port", "1884"));
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(config.get("mqtt/port").toInt(), 1884);

        // Deleted and written anew before the deletion is seen.
        QByteArray text = withEntry(readFile(path), "locale", "en_US");
        QVERIFY(QFile::remove(path));
        writeFile(path, text);
        QTRY_COMPARE(changed.count(), 3);
        QCOMPARE(config.get("gui/locale").toString(), QString("en_US"));

        // Deleted, and written anew only once the deletion has been seen.
        auto *watcher = config.findChild<QFileSystemWatcher *>();
        QVERIFY(watcher);
        QSignalSpy seen(watcher, &QFileSystemWatcher::fileChanged);
        text = withEntry(readFile(path), "locale", "de_DE");
        QVERIFY(QFile::remove(path));
        QTRY_VERIFY(seen.count() > 0);
        writeFile(path, text);
        QTRY_COMPARE(changed.count(), 4);
        QCOMPARE(config.get("gui/locale").toString(), QString("de_DE"));

        // And the file is watched again.
        expectOnlyMarkerEdit(path, changed);
    }

    void setSemantics()
    {
        const QString path = file();
        Config config(path, GUIManager::Defaults);
        config.addOverrides({{"mqtt/host", "override.local"}});
        QSignalSpy changed(&config, &Config::configChanged);
        QSignalSpy fileChanged(&config, &Config::configFileChanged);

        // The stored value again: no signal, no write.
        const QByteArray before = readFile(path);
        config.set("log/level", 2);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(readFile(path), before);

        // A new value: one signal with that key, written to the file, not seen as an edit.
        config.set("gui/displayOffMin", 7);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toMap(), QVariantMap({{"gui/displayOffMin", 7}}));
        QCOMPARE(QSettings(path, QSettings::IniFormat).value("gui/displayOffMin").toInt(), 7);
        expectOnlyMarkerEdit(path, changed);
        QCOMPARE(fileChanged.count(), 1);

        // Setting an overridden key removes the override.
        QCOMPARE(config.get("mqtt/host").toString(), QString("override.local"));
        config.set("mqtt/host", "set.local");
        QCOMPARE(config.get("mqtt/host").toString(), QString("set.local"));
    }

    void precedence_data()
    {
        QTest::addColumn<QByteArray>("fileValue");
        QTest::addColumn<QVariant>("override");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("default") << QByteArray() << QVariant() << QVariant("localhost");
        QTest::newRow("file over default")
            << QByteArray("filehost") << QVariant() << QVariant("filehost");
        QTest::newRow("override over file")
            << QByteArray("filehost") << QVariant("clihost") << QVariant("clihost");
        QTest::newRow("override over default")
            << QByteArray() << QVariant("clihost") << QVariant("clihost");
    }

    void precedence()
    {
        QFETCH(QByteArray, fileValue);
        QFETCH(QVariant, override);
        QFETCH(QVariant, expected);

        const QString path = file();
        if (!fileValue.isNull())
            writeFile(path, "[mqtt]\nhost=" + fileValue + "\n");
        Config config(path, GUIManager::Defaults);
        if (override.isValid())
            config.addOverrides({{"mqtt/host", override}});
        QCOMPARE(config.get("mqtt/host"), expected);

        // A change of the file does not reach an overridden key, but is still reported.
        QSignalSpy changed(&config, &Config::configChanged);
        writeFile(path, withEntry(readFile(path), "host", "edited"));
        QTRY_COMPARE(changed.count(), 1);
        QVERIFY(changed.at(0).at(0).toMap().contains("mqtt/host"));
        QCOMPARE(config.get("mqtt/host"),
                 override.isValid() ? override : QVariant(QString("edited")));
    }

    void valuesReadAsWritten_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << QByteArray("abcd") << "abcd";
        QTest::newRow("comma") << QByteArray("ab,cd") << "ab,cd";
        QTest::newRow("blank after a comma") << QByteArray("a, b") << "a, b";
        QTest::newRow("blanks around") << QByteArray("  x ,y,  z  ") << "x ,y,  z";
        QTest::newRow("trailing comma") << QByteArray("ab,") << "ab,";
        QTest::newRow("comment after a comma") << QByteArray("ab,cd ;note") << "ab,cd";
        QTest::newRow("quoted comma") << QByteArray("\"ab, cd\"") << "ab, cd";
        QTest::newRow("quoted blanks") << QByteArray("\"  ab  \"") << "  ab  ";
        QTest::newRow("escape") << QByteArray("a\\tb") << "a\tb";
    }

    void valuesReadAsWritten()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, expected);
        const QString path = file();
        const QByteArray content =
            "[gui]\nlocale=en_US\n[mqtt]\npassword=" + text + "\nport=1884\n";

        // At start.
        writeFile(path, content);
        {
            Config config(path, GUIManager::Defaults);
            QCOMPARE(config.get("mqtt/password"), QVariant(expected));
            QCOMPARE(config.get("mqtt/port").toInt(), 1884);
        }

        // Edited while running.
        writeFile(path, "[mqtt]\npassword=before\n");
        Config config(path, GUIManager::Defaults);
        QSignalSpy changed(&config, &Config::configChanged);
        writeFile(path, content);
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toMap().value("mqtt/password"), QVariant(expected));
        QCOMPARE(config.get("mqtt/password"), QVariant(expected));

        // Written back by a save, it reads the same again.
        config.set("gui/locale", "el_GR");
        Config again(path, GUIManager::Defaults);
        QCOMPARE(again.get("mqtt/password"), QVariant(expected));
    }

    void getOfUnknownKeysAndAddedDefaults()
    {
        Config config(file(), GUIManager::Defaults);
        QVERIFY(!config.get("nothing/here").isValid());
        config.addDefaults({{"extra/key", 42}});
        QCOMPARE(config.get("extra/key").toInt(), 42);
        QVERIFY(config.defaults().contains("extra/key"));
        QVERIFY(!config.keys().contains("extra/key"));
    }

    void jsonForm()
    {
        Config config(file(), GUIManager::Defaults);
        config.addOverrides({{"log/level", 4}});
        const QJsonObject json = config.toJson();
        QCOMPARE(json.keys(), QStringList({"gui", "log", "mqtt", "topics"}));
        QCOMPARE(json.value("log").toObject(),
                 QJsonObject({{"level", 2}, {"syslog", true}, {"stderr", true}, {"color", false}}));
        QCOMPARE(json.value("mqtt").toObject().value("base").toString(), QString("velt/ui"));
    }

    void fromJson_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QVariantMap>("expectedChanges");

        QTest::newRow("unknown key") << QByteArray(R"({"gui": {"nosuchkey": 1}})") << QVariantMap();
        QTest::newRow("unknown section")
            << QByteArray(R"({"other": {"level": 1}})") << QVariantMap();
        QTest::newRow("equal values")
            << QByteArray(R"({"log": {"level": 2, "syslog": true}})") << QVariantMap();
        QTest::newRow("section not an object")
            << QByteArray(R"({"log": 3, "gui": [1, 2]})") << QVariantMap();
        QTest::newRow("array and object values ignored")
            << QByteArray(R"({"gui": {"locale": ["en"], "settingsPin": {"a": 1}}})")
            << QVariantMap();
        QTest::newRow("two changes, one unknown")
            << QByteArray(R"({"gui": {"displayOffMin": 5, "showCursor": false, "x": 1}})")
            << QVariantMap({{"gui/displayOffMin", 5.0}, {"gui/showCursor", false}});
        QTest::newRow("value of another type kept as given")
            << QByteArray(R"({"mqtt": {"port": "1884"}})")
            << QVariantMap({{"mqtt/port", QString("1884")}});
    }

    void fromJson()
    {
        QFETCH(QByteArray, json);
        QFETCH(QVariantMap, expectedChanges);

        const QString path = file();
        Config config(path, GUIManager::Defaults);
        QSignalSpy changed(&config, &Config::configChanged);
        const QByteArray before = readFile(path);

        config.fromJson(QJsonDocument::fromJson(json).object());

        if (expectedChanges.isEmpty()) {
            QCOMPARE(changed.count(), 0);
            QCOMPARE(readFile(path), before);
            return;
        }
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toMap(), expectedChanges);
        QSettings written(path, QSettings::IniFormat);
        for (auto it = expectedChanges.constBegin(); it != expectedChanges.constEnd(); ++it)
            QCOMPARE(written.value(it.key()).toString(), it.value().toString());
        // Our own save is not reported as an edit.
        expectOnlyMarkerEdit(path, changed);
    }

    void limits_data()
    {
        QTest::addColumn<QString>("via");    // "set", "fromJson", "file edit" or "start"
        QTest::addColumn<QVariant>("value"); // in the file: as text
        QTest::addColumn<bool>("accepted");

        const QList<std::tuple<const char *, QVariant, bool>> values{
            {"fraction", 7.5, false},         {"text", "abc", false},
            {"below the minimum", -5, false}, {"far above the maximum", 2147483647, false},
            {"boolean", true, false},         {"the minimum", 0, true},
            {"the maximum", 86400, true},     {"whole number as a double", 7.0, true},
            {"number as text", "120", true},
        };
        for (const char *via : {"set", "fromJson", "file edit", "start"}) {
            for (const auto &value : values) {
                QTest::addRow("%s: %s", via, std::get<0>(value))
                    << via << std::get<1>(value) << std::get<2>(value);
            }
        }
    }

    void limits()
    {
        QFETCH(QString, via);
        QFETCH(QVariant, value);
        QFETCH(bool, accepted);
        const QString key = "gui/displayOffMin";
        const QString path = file();
        const QByteArray text = value.toString().toUtf8();
        if (via == "start")
            writeFile(path, "[gui]\ndisplayOffMin=" + text + "\n");

        Config config(path, GUIManager::Defaults);
        LogCapture log;
        config.addLimits({{key, {0, 86400}}, {"gui/shutdownDelaySec", {5, 900}}});
        QSignalSpy changed(&config, &Config::configChanged);
        const QByteArray before = readFile(path);

        // Another key of the same change is applied either way.
        QVariantMap expected{{"gui/locale", "en_US"}};
        if (via == "set") {
            config.set(key, value);
            expected.clear();
        } else if (via == "fromJson") {
            config.fromJson(
                QJsonObject({{"gui", QJsonObject({{"displayOffMin", QJsonValue::fromVariant(value)},
                                                  {"locale", "en_US"}})}}));
        } else if (via == "file edit") {
            writeFile(path, withEntry(withEntry(before, "displayOffMin", text), "locale", "en_US"));
            QTRY_COMPARE(changed.count(), 1);
            expected = QVariantMap{{"gui/locale", QString("en_US")}};
        } else {
            expected.clear();
        }

        if (accepted) {
            QCOMPARE(config.get(key).toInt(), value.toInt());
            QCOMPARE(log.countStartingWith("[Config] "), 0);
            if (via != "start")
                expected.insert(key, via == "file edit" ? QVariant(QString(text)) : value);
        } else {
            QCOMPARE(config.get(key), GUIManager::Defaults.value(key));
            const QStringList warnings = log.lines().filter("[Config] ");
            QCOMPARE(warnings.size(), 1);
            QVERIFY(warnings.at(0).startsWith("[Config] "));
            for (const QString &part : {key, value.toString(), QString("0"), QString("86400")})
                QVERIFY2(warnings.at(0).contains(part), qPrintable(warnings.at(0)));
        }
        if (via == "start")
            return;
        if (expected.isEmpty()) {
            QCOMPARE(changed.count(), 0);
            QCOMPARE(readFile(path), before);
        } else {
            QCOMPARE(changed.count(), 1);
            QCOMPARE(changed.at(0).at(0).toMap(), expected);
        }
    }

    void limitsLeaveOverridesAlone()
    {
        Config config(file(), GUIManager::Defaults);
        config.addOverrides({{"gui/shutdownDelaySec", 1}});
        config.addLimits({{"gui/shutdownDelaySec", {5, 900}}});
        QCOMPARE(config.get("gui/shutdownDelaySec").toInt(), 1);
        config.set("gui/shutdownDelaySec", 4);
        QCOMPARE(config.get("gui/shutdownDelaySec").toInt(), 1);
        config.set("gui/shutdownDelaySec", 900);
        QCOMPARE(config.get("gui/shutdownDelaySec").toInt(), 900);
    }

    void fromJsonKeepsOverrides()
    {
        Config config(file(), GUIManager::Defaults);
        config.addOverrides({{"mqtt/host", "clihost"}});
        config.fromJson(QJsonObject({{"mqtt", QJsonObject({{"host", "jsonhost"}})}}));
        QCOMPARE(config.get("mqtt/host").toString(), QString("clihost"));
        QCOMPARE(config.toJson().value("mqtt").toObject().value("host").toString(),
                 QString("jsonhost"));
    }

    void printsEffectiveValues()
    {
        const QString path = file();
        Config config(path, GUIManager::Defaults);
        config.addOverrides({{"log/level", 3}});
        LogCapture log;
        config.print();

        const QString dashes =
            "[Config] ------------------------------------------------------------";
        QCOMPARE(log.lines().size(), 25 + 4);
        QCOMPARE(log.lines().at(0), dashes);
        QCOMPARE(log.lines().at(1), "[Config]  SETTINGS (" + path + ")");
        QCOMPARE(log.lines().at(2), dashes);
        QCOMPARE(log.lines().last(), dashes);
        // Keys padded to the longest one, "gui/shutdownDelaySec" (20 characters).
        QVERIFY(log.contains("[Config]  log/level            : 3"));
        QVERIFY(log.contains("[Config]  gui/shutdownDelaySec : 60"));
    }

    void printMasksThePassword_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QVariantMap>("overrides");

        QTest::newRow("in the file") << QByteArray("[mqtt]\npassword=s3cr3t-pw\n") << QVariantMap();
        QTest::newRow("as an override") << QByteArray("[mqtt]\npassword=other\n")
                                        << QVariantMap({{"mqtt/password", "s3cr3t-pw"}});
    }

    void printMasksThePassword()
    {
        QFETCH(QByteArray, file);
        QFETCH(QVariantMap, overrides);
        writeFile(this->file(), file);
        Config config(this->file(), GUIManager::Defaults);
        config.addOverrides(overrides);
        QCOMPARE(config.get("mqtt/password").toString(), QString("s3cr3t-pw"));

        LogCapture log;
        config.print();
        QVERIFY(log.contains("[Config]  mqtt/password        : ********"));
        QVERIFY(log.contains("[Config]  mqtt/host            : localhost"));
        QCOMPARE(log.lines().filter("s3cr3t").size(), 0);
        QCOMPARE(log.lines().filter("other").size(), 0);
    }

    void interruptedWriteLeftovers_data()
    {
        QTest::addColumn<bool>("atStart");
        QTest::addColumn<QByteArray>("lock");

        const QByteArray live = liveLockText();
        QVERIFY(!live.isEmpty());
        QTest::newRow("empty lock at start") << true << QByteArray("");
        QTest::newRow("lock naming a live process at start") << true << live;
        QTest::newRow("empty lock while running") << false << QByteArray("");
        QTest::newRow("lock naming a live process while running") << false << live;
    }

    // Each of these locks would make a save wait some 30 s for it to turn stale.
    void interruptedWriteLeftovers()
    {
        QFETCH(bool, atStart);
        QFETCH(QByteArray, lock);
        const QString path = file();
        const QString lockPath = path + ".lock";
        const QString temp = path + ".QkZwTb";
        writeFile(path, "[mqtt]\nhost=filehost\n");

        LogCapture log;
        std::unique_ptr<Config> config;
        if (!atStart)
            config = std::make_unique<Config>(path, GUIManager::Defaults);
        writeFile(lockPath, lock);
        // QLockFile's guard while it removes a stale lock, left empty the same way.
        writeFile(lockPath + ".rmlock", "");
        if (atStart) {
            writeFile(temp, "[mqtt]\nhost=hal");
            config = std::make_unique<Config>(path, GUIManager::Defaults);
            QVERIFY(!QFile::exists(lockPath));
            QVERIFY(!QFile::exists(temp));
            QVERIFY(
                log.contains("[Config] Removed the leftover of an interrupted write : " + temp));
            QCOMPARE(config->get("mqtt/host").toString(), QString("filehost"));
        }

        config->set("mqtt/port", 1884);
        QCOMPARE(QSettings(path, QSettings::IniFormat).value("mqtt/port").toInt(), 1884);
        QVERIFY(!QFile::exists(lockPath));
        QVERIFY(
            log.contains("[Config] Removed the leftover of an interrupted write : " + lockPath));
        QCOMPARE(QDir(m_tmp->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"gui.conf"});
    }

    void onlyLeftoversAreRemoved_data()
    {
        QTest::addColumn<QString>("lock"); // "none", "empty" or "held" by a live process
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("age"); // of the files, in seconds
        QTest::addColumn<QStringList>("kept");

        const QStringList temp{"gui.conf.QkZwTb"};
        QTest::newRow("lock held by a live process")
            << "held" << temp << 0 << QStringList{"gui.conf.QkZwTb", "gui.conf.lock"};
        QTest::newRow("temporary without a lock") << "none" << temp << 0 << temp;
        const QStringList alike{"gui.conf.bak",    "gui.conf.QkZwT",  "gui.conf.QkZwTbX",
                                "gui.conf.Qk-wTb", "guiXconf.QkZwTb", "other.conf.QkZwTb"};
        QTest::newRow("look-alike names") << "empty" << alike << 0 << alike;
        QTest::newRow("older than the lock")
            << "empty" << QStringList{"gui.conf.backup"} << 3600 << QStringList{"gui.conf.backup"};
        QTest::newRow("another user's") << "empty" << temp << -1 << temp;
    }

    void onlyLeftoversAreRemoved()
    {
        QFETCH(QString, lock);
        QFETCH(QStringList, files);
        QFETCH(int, age);
        QFETCH(QStringList, kept);
        const QString path = file();
        writeFile(path, "[mqtt]\nhost=filehost\n");

        QLockFile held(path + ".lock");
        if (lock == "held")
            QVERIFY(held.lock());
        else if (lock == "empty")
            writeFile(path + ".lock", "");
        for (const QString &name : files) {
            const QString other = m_tmp->filePath(name);
            writeFile(other, "[mqtt]\nhost=other\n");
            if (age > 0)
                setAge(other, age);
            else if (age < 0 && ::chown(QFile::encodeName(other).constData(), 1, 1) != 0)
                QSKIP("Giving a file to another user needs root");
        }

        Config config(path, GUIManager::Defaults);
        QCOMPARE(config.get("mqtt/host").toString(), QString("filehost"));
        QStringList left = QDir(m_tmp->path()).entryList(QDir::Files | QDir::Hidden);
        left.removeOne("gui.conf");
        left.sort();
        kept.sort();
        QCOMPARE(left, kept);
    }

    void fileIsReadableByItsOwnerOnly_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<int>("owner"); // of the existing file; -1: this user

        QTest::newRow("created") << false << -1;
        QTest::newRow("existing, readable by all") << true << -1;
        QTest::newRow("existing, of another user") << true << 1;
    }

    // It holds the MQTT password and the PIN.
    void fileIsReadableByItsOwnerOnly()
    {
        QFETCH(bool, existing);
        QFETCH(int, owner);
        const QString path = file();
        const QByteArray native = QFile::encodeName(path);
        if (existing) {
            writeFile(path, "[mqtt]\npassword=s3cr3t\n");
            QVERIFY(::chmod(native.constData(), 0644) == 0);
            if (owner >= 0 && ::chown(native.constData(), owner, owner) != 0)
                QSKIP("Giving a file to another user needs root");
        }

        Config config(path, GUIManager::Defaults);
        struct stat info
        {
        };
        if (!existing) {
            QVERIFY(::stat(native.constData(), &info) == 0);
            QCOMPARE(info.st_mode & 07777, mode_t(0600));
        }
        config.set("gui/settingsPin", "9999");

        QVERIFY(::stat(native.constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0600));
        QCOMPARE(info.st_uid, owner >= 0 ? uid_t(owner) : ::geteuid());
        QCOMPARE(info.st_gid, owner >= 0 ? gid_t(owner) : ::getegid());
        QSettings written(path, QSettings::IniFormat);
        QCOMPARE(written.allKeys().size(), 25);
        QCOMPARE(written.value("gui/settingsPin").toString(), QString("9999"));
        QCOMPARE(written.value("mqtt/password").toString(),
                 existing ? QString("s3cr3t") : QString());
    }

    void badFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("garbage") << "garbage";
        // A value the toolkit would decode as a list of some two billion strings, and abort.
        QTest::newRow("damaged streamed value") << "streamed";
        QTest::newRow("directory") << "directory";
        QTest::newRow("unwritable location") << "unwritable";
    }

    void badFiles()
    {
        QFETCH(QString, kind);
        QString path = file();
        if (kind == "garbage") {
            writeFile(path,
                      QByteArray("\x00\xff[[[gui\n=\n\xfe\x01level==\n[log\nlevel=9\"\n", 29));
        } else if (kind == "streamed") {
            writeFile(path, "[gui]\nextra=@Variant(\\0\\0\\0\\ventx10\\0\\0\\0)\n");
        } else if (kind == "directory") {
            QVERIFY(QDir().mkpath(path));
        } else {
            // A regular file where a directory should be: not writable, even by root.
            writeFile(m_tmp->filePath("plainfile"), "x");
            path = m_tmp->filePath("plainfile/gui.conf");
        }

        LogCapture log;
        Config config(path, GUIManager::Defaults);
        QCOMPARE(config.get("gui/locale").toString(), QString("el_GR"));
        QCOMPARE(config.get("mqtt/port").toInt(), 1883);
        if (kind != "garbage" && kind != "streamed")
            QVERIFY(log.countStartingWith("[Config] Could not") > 0);

        // Changes still work in memory.
        config.set("gui/locale", "en_US");
        QCOMPARE(config.get("gui/locale").toString(), QString("en_US"));
    }

private:
    QString file() const { return m_tmp->filePath("gui.conf"); }

    std::unique_ptr<QTemporaryDir> m_tmp;
};

QTEST_GUILESS_MAIN(ConfigTest)
#include "tst_config.moc"
