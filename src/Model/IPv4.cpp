#include "IPv4.h"

const QString IPv4::Address = QStringLiteral("address");
const QString IPv4::Netmask = QStringLiteral("netmask");
const QString IPv4::Gateway = QStringLiteral("gateway");
const QString IPv4::Dns0 = QStringLiteral("dns0");
const QString IPv4::Dns1 = QStringLiteral("dns1");

IPv4::IPv4(QObject *parent) : QObject(parent) {}

bool IPv4::store(const QString &key, const QString &value)
{
    // A missing key and an empty text are the same setting; the key is kept (as empty text, so
    // that the map still compares equal with one read from JSON).
    QVariant &current = m_data[key];
    if (!current.isValid())
        current = QString();
    if (current.toString() == value)
        return false;
    current = value;
    return true;
}

void IPv4::setAddress(const QString &value)
{
    if (store(Address, value))
        emit addressChanged();
}

void IPv4::setGateway(const QString &value)
{
    if (store(Gateway, value))
        emit gatewayChanged();
}

void IPv4::setMask(const QString &value)
{
    if (store(Netmask, value))
        emit maskChanged();
}

void IPv4::setDns0(const QString &value)
{
    if (store(Dns0, value))
        emit dns0Changed();
}

void IPv4::setDns1(const QString &value)
{
    if (store(Dns1, value))
        emit dns1Changed();
}

void IPv4::fromMap(const QVariantMap &map)
{
    setAddress(map.value(Address).toString());
    setMask(map.value(Netmask).toString());
    setGateway(map.value(Gateway).toString());
    setDns0(map.value(Dns0).toString());
    setDns1(map.value(Dns1).toString());
}
