#include "MetaInterface.h"

#include <QMetaMethod>
#include <QMetaProperty>

QStringList propertiesOf(const QMetaObject &meta)
{
    QStringList properties;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty p = meta.property(i);
        properties << QString("%1 %2 %3%4")
                          .arg(QString::fromLatin1(p.typeName()), QString::fromLatin1(p.name()),
                               QString::fromLatin1(p.notifySignal().name()),
                               p.isWritable() ? QStringLiteral(" writable") : QString());
    }
    return properties;
}

QStringList signalsOf(const QMetaObject &meta)
{
    QStringList signalNames;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Signal)
            signalNames << QString::fromLatin1(meta.method(i).methodSignature());
    }
    return signalNames;
}
