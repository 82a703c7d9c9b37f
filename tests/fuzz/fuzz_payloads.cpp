// Fuzz target: MQTT payloads on the topics of one service, delivered through the program's own
// wiring (the whole GUIManager, without its window), as a broker would deliver them.
//
// An input is "<topic>\n<payload>", as tools/fuzz/seeds.sh records them from the simulator. A
// topic the group does not know still picks one of its topics, so that every input reaches a
// decoder. Built once per group (PERNIX_FUZZ_GROUP).

#include "BarcodeManager.h"
#include "Config.h"
#include "GPSManager.h"
#include "GUIManager.h"
#include "MqttClient.h"
#include "SessionManager.h"

#include <QByteArray>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QTemporaryDir>

#include <sanitizer/lsan_interface.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#ifndef PERNIX_FUZZ_GROUP
#error "PERNIX_FUZZ_GROUP names the topic group"
#endif

namespace {

struct Group
{
    const char *name;
    std::vector<const char *> topics;
};

const std::vector<Group> &groups()
{
    static const std::vector<Group> all = {
        {"validator",
         {"velt/blm/info", "velt/blm/status", "velt/blm/config", "velt/blm/rfid/retry",
          "velt/blm/rfid/removed", "velt/blm/rfid/scanned", "velt/blm/barcode/scanned",
          "velt/rfid/card/found", "velt/rfid/card/removed"}},
        // The document of a maintenance barcode, read while a technician is logged in.
        {"maintenance", {"velt/blm/barcode/maintenance/scanned"}},
        {"board",
         {"velt/board/info", "velt/board/status", "velt/board/config", "velt/board/display",
          "velt/board/power", "velt/board/audio", "velt/board/event"}},
        {"inspector",
         {"velt/inspector/info", "velt/inspector/status", "velt/inspector/audio",
          "velt/inspector/stats/cpu", "velt/inspector/stats/memory", "velt/inspector/stats/disk"}},
        {"network", {"velt/network/info", "velt/network/status"}},
        {"ethernet", {"velt/network/ethernet/state", "velt/network/ethernet/config"}},
        {"clock", {"velt/device/clock/ntp/status", "velt/device/clock/ntp/config"}},
        {"update",
         {"velt/device/status", "velt/device/update/software/status",
          "velt/device/update/software/progress", "velt/device/update/software/progess"}},
        {"barcode", {"velt/barcode/info", "velt/barcode/status", "velt/barcode/barcode"}},
        {"gps", {"velt/gps/info", "velt/gps/status", "velt/gps/data"}},
        {"ui",
         {"velt/ui/info/get", "velt/ui/status/get", "velt/ui/config/get", "velt/ui/config/set"}},
    };
    return all;
}

const Group &group()
{
    static const Group *chosen = [] {
        for (const Group &g : groups())
            if (std::strcmp(g.name, PERNIX_FUZZ_GROUP) == 0)
                return &g;
        std::abort();
    }();
    return *chosen;
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

// The unit under test, made once: a fresh one per input would measure start-up, not decoding.
struct Unit
{
    QTemporaryDir dir;
    std::unique_ptr<Config> config;
    std::unique_ptr<GUIManager> manager;
    std::unique_ptr<manager::BarcodeManager> barcode;
    std::unique_ptr<manager::GPSManager> gps;

    Unit()
    {
        const QString serial = dir.filePath(QStringLiteral("serialnumber"));
        const QByteArray conf = "[gui]\ndeviceId=" + serial.toUtf8() + "\n";
        for (const auto &file : {std::make_pair(serial, QByteArray("C00001234\n")),
                                 std::make_pair(dir.filePath(QStringLiteral("gui.conf")), conf)}) {
            QFile out(file.first);
            if (!out.open(QIODevice::WriteOnly) || out.write(file.second) < 0)
                std::abort();
        }
        qputenv("PERNIX_EVENT_LOG", dir.filePath(QStringLiteral("events.ini")).toUtf8());
        config = std::make_unique<Config>(dir.filePath(QStringLiteral("gui.conf")),
                                          GUIManager::Defaults);
        manager = std::make_unique<GUIManager>(*config);
        barcode = std::make_unique<manager::BarcodeManager>(
            manager->mqtt(), QStringLiteral("velt/barcode"), nullptr);
        gps = std::make_unique<manager::GPSManager>(manager->mqtt(), QStringLiteral("velt/gps"),
                                                    nullptr);
        // A maintenance barcode applies its network part only to eth0.
        deliver("velt/network/ethernet/state", R"({"interface": "eth0"})");
    }

    void deliver(const QByteArray &topic, const QByteArray &payload)
    {
        qInstallMessageHandler(quiet); // reactions may install the program's handler again
        emit manager->mqtt().received(payload, topic);
        // What the event loop would do next: queued calls, deferred deletions, due timers.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
};

Unit *unit = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    qInstallMessageHandler(quiet);
    // The platform and the QML engine keep what they make at construction where the leak checker
    // cannot see it, or until after it has looked; they are made once, so only what the inputs
    // allocate is checked.
    __lsan_disable();
    static QGuiApplication app(*argc, *argv);
    unit = new Unit;
    __lsan_enable();
    // Before the application object goes, as in the program.
    std::atexit([] { delete unit; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const int newline = input.indexOf('\n');
    const QByteArray topic = newline < 0 ? QByteArray() : input.left(newline);
    const QByteArray payload = newline < 0 ? input : input.mid(newline + 1);

    const Group &g = group();
    const char *chosen = nullptr;
    for (const char *known : g.topics)
        if (topic == known)
            chosen = known;
    if (!chosen)
        chosen = g.topics.at(qHash(topic) % g.topics.size());

    if (std::strcmp(g.name, "maintenance") == 0 && !unit->manager->session().sessionActive())
        unit->manager->session().loginRequest(
            unit->config->get(QStringLiteral("gui/settingsPin")).toString());

    // A copy: the program keeps payloads beyond the call.
    unit->deliver(chosen, QByteArray(payload.constData(), payload.size()));
    return 0;
}
