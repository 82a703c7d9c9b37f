// Power cuts: a writer is killed (SIGKILL) at random moments while it writes each of the
// program's files again and again, with the program's own code. After every kill the file must
// read back whole, holding either the last content the writer finished or the one it was
// writing; and the program must start from what is left.

#include "AtomicFile.h"
#include "Config.h"
#include "Event.h"
#include "EventManager.h"
#include "GUIManager.h"
#include "Program.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>

namespace {

constexpr int WaitMs = 15000;
// Kills per file: each one lands somewhere in a write, a rename or between two writes.
constexpr int Kills = 60;
// A test report is a page of text; large enough that a write takes a while.
constexpr int ReportLines = 4000;

// The n-th content of each file. Every one differs in length from the one before, so that a
// half-written or mixed file cannot pass for either.
QString configValue(int n)
{
    return QStringLiteral("gen-%1-").arg(n) + QString(n % 97, QLatin1Char('x'));
}

// What the configuration holds after n writes: at first, the default.
QString configAfter(int n)
{
    return n == 0 ? GUIManager::Defaults.value(QStringLiteral("gui/screenSaverImg")).toString()
                  : configValue(n);
}

QByteArray serialNumber(int n)
{
    return (n % 2 ? "C" : "K") + QByteArray::number(n).rightJustified(8, '0');
}

QByteArray report(int n)
{
    QByteArray text;
    for (int line = 0; line < ReportLines + n % 50; ++line)
        text += "Report " + QByteArray::number(n) + " line " + QByteArray::number(line) + '\n';
    return text + "END " + QByteArray::number(n) + '\n';
}

// What the writer child does: writes its file for ever, telling after each write which one it
// has finished.
int runWriter(const QString &kind, const QString &folder)
{
    const auto done = [](int n) {
        std::printf("wrote %d\n", n);
        std::fflush(stdout);
    };
    if (kind == QLatin1String("config")) {
        Config config(folder + QStringLiteral("/gui.conf"), GUIManager::Defaults);
        int n = config.get("gui/screenSaverImg").toString().section(QLatin1Char('-'), 1, 1).toInt();
        done(n);
        for (;;) {
            config.set(QStringLiteral("gui/screenSaverImg"), configValue(++n));
            done(n);
        }
    }
    if (kind == QLatin1String("events")) {
        Config config(folder + QStringLiteral("/gui.conf"), GUIManager::Defaults);
        EventManager events(config, folder + QStringLiteral("/events.ini"));
        // Whatever order the list is shown in, the writer goes on from the highest number.
        int n = 0;
        for (QObject *saved : events.data())
            n = std::max(n,
                         qobject_cast<Event *>(saved)->name().section(QLatin1Char(' '), 1).toInt());
        done(n);
        for (;;) {
            events.push(new Event(QStringLiteral("General"), QStringLiteral("event %1").arg(++n),
                                  QString(), QDateTime::currentDateTime()));
            done(n);
        }
    }
    if (kind == QLatin1String("serial") || kind == QLatin1String("report")) {
        const QString path =
            folder + (kind == QLatin1String("serial") ? QStringLiteral("/serialnumber")
                                                      : QStringLiteral("/TestReport.txt"));
        for (int n = 1;; ++n) {
            if (!atomicfile::write(path,
                                   kind == QLatin1String("serial") ? serialNumber(n) : report(n)))
                return 1;
            done(n);
        }
    }
    return 2;
}

} // namespace

class PowerCutTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Starts a writer of kind in the folder, kills it at a random moment, and gives the last
    // write it had finished (-1 when it had finished none).
    int killWriter(const QString &kind)
    {
        QProcess writer;
        // Its log says nothing the file does not.
        writer.setStandardErrorFile(QProcess::nullDevice());
        writer.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--writer"), kind, m_dir.path()});
        if (!writer.waitForStarted(WaitMs))
            return -2;
        // Once it writes, then a random time of up to a few writes.
        QByteArray out;
        QDeadlineTimer deadline(WaitMs);
        while (!out.contains("wrote") && !deadline.hasExpired() &&
               writer.state() == QProcess::Running) {
            writer.waitForReadyRead(100);
            out += writer.readAllStandardOutput();
        }
        QThread::usleep(QRandomGenerator::global()->bounded(30000));
        ::kill(pid_t(writer.processId()), SIGKILL);
        writer.waitForFinished(WaitMs);
        out += writer.readAllStandardOutput();
        const QList<QByteArray> lines = out.trimmed().split('\n');
        for (int i = lines.size() - 1; i >= 0; --i) {
            // The last line may have been cut by the kill.
            if (lines.at(i).startsWith("wrote ") && lines.at(i).size() > 6)
                return lines.at(i).mid(6).toInt();
        }
        return -1;
    }

    QByteArray read(const QString &name) const
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The files the kills may have left beside name: QSaveFile's and QSettings' own.
    QStringList leftovers(const QString &name) const
    {
        return QDir(m_dir.path())
            .entryList({name + QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
    }

private slots:
    void init()
    {
        for (const QString &name : QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(m_dir.filePath(name));
    }

    // The configuration: whole after every kill, the value finished or the one being written,
    // and the program starts from it.
    void configuration()
    {
        int last = 0;
        for (int kill = 0; kill < Kills; ++kill) {
            const int finished = killWriter(QStringLiteral("config"));
            QVERIFY2(finished >= last, qPrintable(QString::number(finished)));
            QVERIFY(finished >= 0);
            QSettings settings(m_dir.filePath("gui.conf"), QSettings::IniFormat);
            QCOMPARE(settings.status(), QSettings::NoError);
            const QString value = settings.value("gui/screenSaverImg").toString();
            QVERIFY2(value == configAfter(finished) || value == configAfter(finished + 1),
                     qPrintable(QStringLiteral("kill %1: finished %2, file holds \"%3\"")
                                    .arg(kill)
                                    .arg(finished)
                                    .arg(value)));
            // The defaults the writer started from are all still there.
            QCOMPARE(settings.value("gui/settingsPin").toString(), QString("5826"));
            last = value.section('-', 1, 1).toInt();
        }
        QVERIFY(last > 0);

        // The program itself cleans what the kills left and reads the last value.
        Program program({QStringLiteral("-f"), m_dir.filePath("gui.conf")});
        QTRY_VERIFY_WITH_TIMEOUT(program.count("Setting screen : Busy") == 1, WaitMs);
        QVERIFY2(program.log().contains("gui/screenSaverImg   : " + configValue(last)),
                 qPrintable(program.log()));
        QTRY_COMPARE_WITH_TIMEOUT(leftovers("gui.conf"), QStringList(), WaitMs);
    }

    // The event log: readable after every kill, its events in order with none lost but the one
    // being written.
    void eventLog()
    {
        int last = 0;
        for (int kill = 0; kill < Kills; ++kill) {
            const int finished = killWriter(QStringLiteral("events"));
            QVERIFY(finished >= last);
            QVERIFY(finished >= 0);
            QSettings settings(m_dir.filePath("events.ini"), QSettings::IniFormat);
            QCOMPARE(settings.status(), QSettings::NoError);
            const int count = settings.beginReadArray("events");
            QVERIFY(count > 0 || finished == 0);
            int previous = -1;
            for (int i = 0; i < count; ++i) {
                settings.setArrayIndex(i);
                const int number = settings.value("name").toString().section(' ', 1).toInt();
                QVERIFY2(previous < 0 || number == previous + 1,
                         qPrintable(QStringLiteral("kill %1: event %2 after %3")
                                        .arg(kill)
                                        .arg(number)
                                        .arg(previous)));
                QVERIFY(settings.value("timestamp").toDateTime().isValid());
                previous = number;
            }
            settings.endArray();
            QVERIFY2(previous == finished || previous == finished + 1 ||
                         (previous < 0 && finished == 0),
                     qPrintable(QStringLiteral("kill %1: finished %2, last in the file %3")
                                    .arg(kill)
                                    .arg(finished)
                                    .arg(previous)));
            last = std::max(last, previous);
        }
        QVERIFY(last > 0);

        // The program loads every event kept, cleans what the kills left and records its start.
        const int kept =
            QSettings(m_dir.filePath("events.ini"), QSettings::IniFormat).beginReadArray("events");
        Program program({}, {}, {{"PERNIX_EVENT_LOG", m_dir.filePath("events.ini")}});
        QTRY_VERIFY_WITH_TIMEOUT(program.count("Setting screen : Busy") == 1, WaitMs);
        QVERIFY2(program.log().contains(QStringLiteral("Loading saved events : from=%1 to=%2")
                                            .arg(std::max(0, kept - EventManager::LoadLimit))
                                            .arg(kept)),
                 qPrintable(program.log()));
        QTRY_VERIFY_WITH_TIMEOUT(read("events.ini").contains("Application started"), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(leftovers("events.ini"), QStringList(), WaitMs);
        QVERIFY(!program.log().contains("Could not save events"));
    }

    // The serial number and a test report: the old file or the new one, never a part.
    void replacedFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("serial number") << "serial"
                                       << "serialnumber";
        QTest::newRow("test report") << "report"
                                     << "TestReport.txt";
    }

    void replacedFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        const auto content = [&](int n) {
            return kind == "serial" ? serialNumber(n) : report(n);
        };
        for (int kill = 0; kill < Kills; ++kill) {
            // Each writer starts again from the first content: the file moves back and forth.
            const int finished = killWriter(kind);
            QVERIFY(finished >= 1);
            const QByteArray text = read(name);
            QVERIFY2(text == content(finished) || text == content(finished + 1),
                     qPrintable(QStringLiteral("kill %1: finished %2, %3 bytes in the file")
                                    .arg(kill)
                                    .arg(finished)
                                    .arg(text.size())));
        }
        if (kind == "serial") {
            // The program reads the number it is given.
            const QByteArray serial = read(name);
            Program program(
                {}, {{"serialnumber", serial}, {"gui.conf", "[gui]\ndeviceId=serialnumber\n"}});
            QTRY_VERIFY_WITH_TIMEOUT(program.count("Setting screen : Busy") == 1, WaitMs);
            QVERIFY(!program.log().contains("Could not load device S/N"));
        }
    }
};

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--writer") == 0) {
        QCoreApplication app(argc, argv);
        return runWriter(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    PowerCutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_powercut.moc"
