#include "ValidatorBarcode.h"

#include "ChangeValue.h"

ValidatorBarcode::ValidatorBarcode(QObject *parent) : QObject(parent) {}

void ValidatorBarcode::setActive(bool active)
{
    if (changeValue(m_active, active))
        emit activeChanged();
}

void ValidatorBarcode::setEnabled(bool enabled)
{
    if (changeValue(m_enabled, enabled))
        emit enabledChanged();
}

void ValidatorBarcode::setFirmware(const QString &firmware)
{
    if (changeValue(m_firmware, firmware))
        emit firmwareChanged();
}

void ValidatorBarcode::setVersion(const QString &version)
{
    if (changeValue(m_version, version))
        emit versionChanged();
}

void ValidatorBarcode::setManufacturer(const QString &manufacturer)
{
    if (changeValue(m_manufacturer, manufacturer))
        emit manufacturerChanged();
}

void ValidatorBarcode::setModel(const QString &model)
{
    if (changeValue(m_model, model))
        emit modelChanged();
}

void ValidatorBarcode::fromJson(const QJsonObject &data)
{
    if (data.contains("active"))
        setActive(data.value("active").toBool());
    if (data.contains("enabled"))
        setEnabled(data.value("enabled").toBool());
    if (data.contains("firmware"))
        setFirmware(data.value("firmware").toString());
    if (data.contains("manufacturer"))
        setManufacturer(data.value("manufacturer").toString());
    if (data.contains("model"))
        setModel(data.value("model").toString());
}
