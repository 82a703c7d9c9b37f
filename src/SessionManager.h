#pragma once

#include "Config.h"
#include "User.h"

#include <QObject>
#include <QTimer>
#include <QVector>

// PIN-protected maintenance sessions: a login opens a session for 10 minutes, a logout or the
// expiry ends it.
class SessionManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool sessionActive READ sessionActive NOTIFY sessionActiveChanged)
public:
    static constexpr int SessionMs = 600000;

    explicit SessionManager(Config &config, QObject *parent = nullptr);

    bool sessionActive() const { return m_activeUser != nullptr; }
    const User *user() const { return m_activeUser; }
    // Milliseconds left in the session, -1 without one.
    int remainingTime() const { return m_timer.remainingTime(); }

    // For tests and benches: the length of the sessions opened from now on.
    void setSessionDuration(int msec) { m_timer.setInterval(msec); }

signals:
    void sessionActiveChanged();
    void accessGranted();
    void accessDenied();
    void expired();

public slots:
    void loginRequest(QString pin);
    void logoutRequest();
    void resetTimer();

private:
    void loadUsers();
    void onExpired();

    Config &m_config;
    QTimer m_timer;
    const User *m_activeUser = nullptr;
    QVector<User> m_users;
};
