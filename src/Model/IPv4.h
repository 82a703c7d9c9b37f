#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

// One set of IPv4 settings, kept as text under the same keys the network service uses, so that
// it compares directly with a map read from the service's JSON. The texts are not validated here:
// the editing screen checks the address form before it writes.
class IPv4 : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString address READ address WRITE setAddress NOTIFY addressChanged)
    Q_PROPERTY(QString gateway READ gateway WRITE setGateway NOTIFY gatewayChanged)
    Q_PROPERTY(QString mask READ mask WRITE setMask NOTIFY maskChanged)
    Q_PROPERTY(QString dns0 READ dns0 WRITE setDns0 NOTIFY dns0Changed)
    Q_PROPERTY(QString dns1 READ dns1 WRITE setDns1 NOTIFY dns1Changed)
public:
    explicit IPv4(QObject *parent = nullptr);

    QString address() const { return text(Address); }
    QString gateway() const { return text(Gateway); }
    QString mask() const { return text(Netmask); }
    QString dns0() const { return text(Dns0); }
    QString dns1() const { return text(Dns1); }

    void setAddress(const QString &value);
    void setGateway(const QString &value);
    void setMask(const QString &value);
    void setDns0(const QString &value);
    void setDns1(const QString &value);

    const QVariantMap &toMap() const { return m_data; }
    // Applies the five settings of a service map (a missing key is empty text); other keys are
    // not stored. Only the fields whose text changes notify.
    void fromMap(const QVariantMap &map);

signals:
    void addressChanged();
    void maskChanged();
    void gatewayChanged();
    void dns0Changed();
    void dns1Changed();

private:
    static const QString Address;
    static const QString Netmask;
    static const QString Gateway;
    static const QString Dns0;
    static const QString Dns1;

    QString text(const QString &key) const { return m_data.value(key).toString(); }
    // True when the text under key changed. A key set once stays in the map, even when empty.
    bool store(const QString &key, const QString &value);

    QVariantMap m_data;
};
