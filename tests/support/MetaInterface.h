#pragma once

#include <QMetaObject>
#include <QStringList>

// What QML sees of a class (its own members, not its base's), for comparing with a list.

// "<type> <name> <notify signal>[ writable]" per property, in declaration order.
QStringList propertiesOf(const QMetaObject &meta);
// The signatures of its signals, in declaration order.
QStringList signalsOf(const QMetaObject &meta);
