// Fuzz target: the files the program reads back at start, whatever a power cut, a full disk or
// a hand edit left in them. Built once per file kind (PERNIX_FUZZ_GROUP):
// - "config": the input is the configuration file, read with the program's defaults and
//   limits, then saved again; the same bytes also go to Config::fromJson as a JSON document
//   ("/config/set" takes that path).
// - "events": the input is the event log, loaded, filtered, extended and saved again.

#include "Config.h"
#include "Event.h"
#include "EventManager.h"
#include "GUIManager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sanitizer/lsan_interface.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifndef PERNIX_FUZZ_GROUP
#error "PERNIX_FUZZ_GROUP names the file kind"
#endif

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

QTemporaryDir *dir = nullptr;
int serial = 0;

// A new name each time: the toolkit caches a settings file by name and may not notice a
// rewrite within the same second.
QString writeInput(const char *suffix, const QByteArray &input)
{
    const QString path = dir->filePath(QString::number(++serial) + QLatin1String(suffix));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(input) != input.size())
        std::abort();
    return path;
}

void fuzzConfig(const QByteArray &input)
{
    const QString path = writeInput(".conf", input);
    {
        Config config(path, GUIManager::Defaults);
        config.addLimits(GUIManager::Limits);
        config.load();
        for (const QString &key : config.keys())
            config.get(key);
        config.toJson();
        config.save();

        const QJsonDocument document = QJsonDocument::fromJson(input);
        if (document.isObject()) {
            config.fromJson(document.object());
            config.toJson();
        }
    }
    QFile::remove(path);
}

void fuzzEvents(const QByteArray &input)
{
    static Config config(dir->filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
    const QString path = writeInput(".ini", input);
    {
        EventManager log(config, path);
        log.load();
        log.applyFilter(EventManager::Warning);
        log.applyFilterPeriod(QStringLiteral("Last week"));
        log.push(new Event(QStringLiteral("General"), QStringLiteral("Fuzz"), QStringLiteral("x"),
                           QDateTime::currentDateTime()));
        log.save();
    }
    QFile::remove(path);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qInstallMessageHandler(quiet);
    __lsan_disable(); // made once for the whole run: only what the inputs allocate is checked
    static QCoreApplication app(*argc, *argv);
    dir = new QTemporaryDir;
    __lsan_enable();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    if (std::strcmp(PERNIX_FUZZ_GROUP, "config") == 0)
        fuzzConfig(input);
    else
        fuzzEvents(input);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
