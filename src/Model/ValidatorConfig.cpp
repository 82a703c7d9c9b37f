#include "ValidatorConfig.h"

#include "ChangeValue.h"

ValidatorConfig::ValidatorConfig(QObject *parent) : QObject(parent) {}

void ValidatorConfig::setObuUrl(const QUrl &url)
{
    if (changeValue(m_obuUrl, url))
        emit obuUrlChanged();
}

void ValidatorConfig::setPassbackSecs(int seconds)
{
    if (changeValue(m_passbackSecs, seconds))
        emit passbackSecsChanged();
}

void ValidatorConfig::setPassbackQrEnabled(bool enabled)
{
    if (changeValue(m_passbackQrEnabled, enabled))
        emit passbackQrEnabledChanged();
}
