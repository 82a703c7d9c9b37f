#include "SignalRecorder.h"

#include <QMetaMethod>
#include <QObject>

SignalRecorder::SignalRecorder(QObject *object)
{
    const QMetaObject *meta = object->metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal)
            m_spies.emplace_back(std::make_unique<QSignalSpy>(object, method));
    }
}

QStringList SignalRecorder::names() const
{
    QStringList result;
    for (const auto &spy : m_spies) {
        const QString name = QString::fromLatin1(spy->signal());
        for (int i = 0; i < spy->count(); ++i)
            result.append(name.left(name.indexOf('(')));
    }
    result.sort();
    return result;
}

void SignalRecorder::clear()
{
    for (const auto &spy : m_spies)
        spy->clear();
}
