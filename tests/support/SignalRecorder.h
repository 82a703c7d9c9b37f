#pragma once

#include <QSignalSpy>
#include <QStringList>

#include <memory>
#include <vector>

class QObject;

// Every signal an object's own class declares, counted by name.
class SignalRecorder
{
public:
    explicit SignalRecorder(QObject *object);

    // Names of the emitted signals, once per emission, sorted.
    QStringList names() const;
    void clear();

private:
    std::vector<std::unique_ptr<QSignalSpy>> m_spies;
};
