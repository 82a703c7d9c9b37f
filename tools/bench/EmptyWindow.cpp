// The benchmark's yardstick: an empty Qt Quick Controls 2 window of the unit's size that shows a
// counter for every validation result it hears of. Same toolkit, same broker, same probe as the
// program; nothing else.

#include "LatencyProbe.h"
#include "MqttClient.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption host({"H", "host"}, "Broker host", "host", "127.0.0.1");
    const QCommandLineOption port({"P", "port"}, "Broker port", "port", "1883");
    parser.addOptions({host, port});
    parser.process(app);

    QQuickStyle::setStyle(QStringLiteral("Material"));
    LatencyProbe probe;
    QQmlApplicationEngine engine;
    engine.loadData(R"(
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

ApplicationWindow {
    width: 480
    height: 800
    visible: true
    Material.theme: Material.Dark
    property int results: 0
    Label {
        anchors.centerIn: parent
        text: "Results: " + results
    }
}
)");
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (!window)
        return 1;
    probe.attach(window);
    probe.noteScreen(QStringLiteral("ScanScreens"));

    // The topics a result comes on, and one the program hears but does not evaluate.
    manager::MqttClient mqtt;
    mqtt.setHostname(parser.value(host));
    mqtt.setPort(parser.value(port).toUInt());
    mqtt.setClientId(QStringLiteral("pernix-emptywindow"));
    for (const char *topic : {"velt/blm/rfid/scanned", "velt/blm/barcode/scanned",
                              "velt/blm/rfid/retry", "velt/inspector/stats/cpu"})
        mqtt.subscribe(QString::fromLatin1(topic));
    QObject::connect(&mqtt, &manager::MqttClient::received, window,
                     [&probe, window](const QByteArray &, const QByteArray &topic) {
                         if (!topic.startsWith("velt/blm/"))
                             return;
                         probe.noteResult();
                         window->setProperty("results", window->property("results").toInt() + 1);
                     });
    mqtt.connect();
    return app.exec();
}
