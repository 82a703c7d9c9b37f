#include "ValidatorRfid.h"

#include "ChangeValue.h"

#include <QHash>

ValidatorRfid::ValidatorRfid(QObject *parent) : QObject(parent) {}

QString ValidatorRfid::mapState(int state)
{
    static const QHash<int, QString> names = {
        {0, "Init"}, {1, "Idle"}, {2, "Searching"}, {3, "CardFound"}, {4, "Updating"}, {5, "Error"},
    };
    return names.value(state, QStringLiteral("Unknown"));
}

bool ValidatorRfid::isEnabledState(const QString &state)
{
    return state == QLatin1String("Searching") || state == QLatin1String("CardFound");
}

void ValidatorRfid::setActive(bool active)
{
    if (changeValue(m_active, active))
        emit activeChanged();
}

void ValidatorRfid::setFirmware(const QString &firmware)
{
    if (changeValue(m_firmware, firmware))
        emit firmwareChanged();
}

void ValidatorRfid::setVersion(const QString &version)
{
    if (changeValue(m_version, version))
        emit versionChanged();
}

void ValidatorRfid::setManufacturer(const QString &manufacturer)
{
    if (changeValue(m_manufacturer, manufacturer))
        emit manufacturerChanged();
}

void ValidatorRfid::setModel(const QString &model)
{
    if (changeValue(m_model, model))
        emit modelChanged();
}

void ValidatorRfid::setDeviceUid(const QString &uid)
{
    if (changeValue(m_deviceUid, uid))
        emit deviceUidChanged();
}

void ValidatorRfid::setError(const QString &error)
{
    if (changeValue(m_error, error))
        emit errorChanged();
}

void ValidatorRfid::setState(const QString &state)
{
    const bool wasEnabled = enabled();
    if (!changeValue(m_state, state))
        return;
    emit stateChanged();
    if (enabled() != wasEnabled)
        emit enabledChanged();
}

void ValidatorRfid::setSlots(const QJsonArray &slotFlags)
{
    m_slots.clear();
    for (const QJsonValue &flag : slotFlags)
        m_slots.append(flag.toBool());
}

void ValidatorRfid::setSams(const QJsonArray &sams)
{
    // Bindings may still hold the old modules until the event loop runs again.
    for (SAM *sam : qAsConst(m_sams))
        sam->deleteLater();
    m_sams.clear();
    for (const QJsonValue &sam : sams)
        m_sams.append(new SAM(sam.toObject(), this));
    emit samChanged();
}

void ValidatorRfid::fromJson(const QJsonObject &data)
{
    if (data.contains("firmware"))
        parseInfo(data);
    if (data.contains("state"))
        parseStatus(data);
}

void ValidatorRfid::parseInfo(const QJsonObject &data)
{
    setFirmware(data.value("firmware").toString());
    setModel(data.value("model").toString());
    setManufacturer(data.value("manufacturer").toString());
    setDeviceUid(data.value("uid").toString());
}

void ValidatorRfid::parseStatus(const QJsonObject &data)
{
    setActive(data.value("active").toBool());
    setError(data.value("error").toString());
    setState(mapState(data.value("state").toInt()));
    setSlots(data.value("slots").toArray());
    setSams(data.value("sams").toArray());
}
