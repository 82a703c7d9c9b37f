#include "SAM.h"

#include "ChangeValue.h"

SAM::SAM(QObject *parent) : QObject(parent) {}

SAM::SAM(const QJsonObject &data, QObject *parent) : QObject(parent)
{
    fromJson(data);
}

void SAM::fromJson(const QJsonObject &data)
{
    if (changeValue(m_slot, data.value("slot").toInt()))
        emit slotChanged();
    if (changeValue(m_enabled, data.value("enabled").toBool()))
        emit enabledChanged();
    if (changeValue(m_unlocked, data.value("unlocked").toBool()))
        emit unlockedChanged();
    if (changeValue(m_atr, data.value("atr").toString()))
        emit atrChanged();
    if (changeValue(m_batch, data.value("batch").toString()))
        emit batchChanged();
    if (changeValue(m_mode, data.value("mode").toString()))
        emit modeChanged();
    if (changeValue(m_name, data.value("name").toString()))
        emit nameChanged();
    if (changeValue(m_production,
                    QDate::fromString(data.value("production").toString(), "yyyy-MM-dd")))
        emit productionChanged();
    if (changeValue(m_uid, data.value("uid").toString()))
        emit uidChanged();
    if (changeValue(m_vendor, data.value("vendor").toString()))
        emit vendorChanged();
    if (changeValue(m_version, data.value("version").toString()))
        emit versionChanged();
}
