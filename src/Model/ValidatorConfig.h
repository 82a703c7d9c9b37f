#pragma once

#include <QObject>
#include <QUrl>

// The validator service settings that the maintenance screen edits. Writing them changes only
// this model; Validator::saveConfig() sends them.
class ValidatorConfig : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUrl obuUrl READ obuUrl WRITE setObuUrl NOTIFY obuUrlChanged)
    Q_PROPERTY(int passbackSecs READ passbackSecs WRITE setPassbackSecs NOTIFY passbackSecsChanged)
    Q_PROPERTY(bool passbackQrEnabled READ passbackQrEnabled WRITE setPassbackQrEnabled NOTIFY
                   passbackQrEnabledChanged)
public:
    explicit ValidatorConfig(QObject *parent = nullptr);

    QUrl obuUrl() const { return m_obuUrl; }
    int passbackSecs() const { return m_passbackSecs; }
    bool passbackQrEnabled() const { return m_passbackQrEnabled; }

    void setObuUrl(const QUrl &url);
    void setPassbackSecs(int seconds);
    void setPassbackQrEnabled(bool enabled);

signals:
    void obuUrlChanged();
    void passbackSecsChanged();
    void passbackQrEnabledChanged();

private:
    QUrl m_obuUrl;
    int m_passbackSecs = 0;
    bool m_passbackQrEnabled = false;
};
