#pragma once

#include "Config.h"
#include "GUIManager.h"
#include "MosquittoBroker.h"
#include "MqttObserver.h"

#include <QTemporaryDir>

#include <memory>

// A GUIManager on a real broker, with its configuration file, serial number and event log in a
// scratch directory, and helpers that play the device services' messages into it.
class CoreFixture
{
public:
    // serial: the serial-number file's content (null: no file).
    explicit CoreFixture(MosquittoBroker &broker, const QByteArray &serial = "C12345678",
                         const QVariantMap &settings = {});
    ~CoreFixture();

    GUIManager &manager() { return *m_manager; }
    Config &config() { return *m_config; }
    MqttObserver &observer() { return m_observer; }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    bool waitConnected();
    // Connected, subscribed and announced: requests sent from now on are answered.
    bool waitReady();

    // Messages from the services, as the managers receive them.
    void inject(const QString &topic, const QByteArray &payload);
    void validatorStatus(const QString &status);
    // The IgnitionChanged event, and the board's status report with the ignition in it.
    void ignition(bool on);
    void boardStatus(bool ignition);
    void result(bool valid, int denyReason = 0);
    void retry();

    // Waits until everything the manager has published so far has reached the observer: a
    // marker published last by the manager's own connection arrives last. False when the
    // manager is not connected or the marker does not come.
    bool drain();
    // Asks for the UI's info through the broker and waits for the answer: whatever the observer
    // published before has been handled, and what the manager published in reaction has
    // arrived.
    bool roundTrip();
    // Messages seen on the broker so far for a topic (markers aside).
    int published(const QString &topic) const;
    QStringList eventNames() const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<GUIManager> m_manager;
    MqttObserver m_observer;
    int m_port = 0;
    int m_marks = 0;
};
