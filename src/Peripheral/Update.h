#pragma once

#include "ServiceManager.h"

#include <QJsonObject>
#include <QString>
#include <QTimer>

namespace manager {

// Mirror of the device service's software update: installed and pending version, the state of
// an update and its progress. Only asks the service (check, install) and follows its reports.
class Update : public ServiceManager
{
    Q_OBJECT
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString current READ current NOTIFY currentChanged)
    Q_PROPERTY(QString pending READ pending NOTIFY pendingChanged)
    Q_PROPERTY(QString progressMessage READ progressMessage NOTIFY progressMessageChanged)
    Q_PROPERTY(int progressPercent READ progressPercent NOTIFY progressPercentChanged)
public:
    Update(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    QString status() const { return m_status; }
    QString current() const { return m_current; }
    QString pending() const { return m_pending; }
    QString progressMessage() const { return m_progressMessage; }
    int progressPercent() const { return m_progressPercent; }

    Q_INVOKABLE void check();
    Q_INVOKABLE void install();

signals:
    void statusChanged();
    void currentChanged();
    void pendingChanged();
    void progressMessageChanged();
    void progressPercentChanged();
    // Declared for QML but not emitted: the end of a check or an installation shows in status.
    void checkFinished();
    void installFinished();

public slots:
    void refresh();

protected:
    void onMqttReceived(const QByteArray &message, const QString &topic) override;

private:
    void onDisconnected();
    void onCheckTimeout();
    void onStatusReceived(const QJsonObject &object);
    void onSoftwareStatusReceived(const QJsonObject &object);
    void onProgressReceived(const QJsonObject &object);
    void derivePendingStatus();

    void setStatus(const QString &status);
    void setCurrent(const QString &current);
    void setPending(const QString &pending);
    void setProgressMessage(const QString &message);
    void setProgressPercent(int percent);

    QString m_status = QStringLiteral("Disconnected");
    QString m_current;
    QString m_pending;
    QString m_progressMessage;
    int m_progressPercent = 0;
    QTimer m_checkTimer;
};

} // namespace manager
