#pragma once

#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttObserver.h"

#include <QList>

// A real broker of its own, an observer of everything published on it, and the client under
// test.
struct BrokerClient
{
    MosquittoBroker broker;
    MqttObserver observer;
    manager::MqttClient mqtt;
    int marks = 0;

    bool open();
    // Connects the client under test; true once it is connected.
    bool connectClient();
    // What the client published since the last call: a marker published last by the same
    // client arrives last, so nothing still on its way is missed.
    bool drain(QList<MqttObserver::Message> &out);
};
