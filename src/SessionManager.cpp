#include "SessionManager.h"

#include "Logger.h"

SessionManager::SessionManager(Config &config, QObject *parent) : QObject(parent), m_config(config)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer); // a coarse timer may run 30 s over
    m_timer.setInterval(SessionMs);
    connect(&m_timer, &QTimer::timeout, this, &SessionManager::onExpired);
    connect(&m_config, &Config::configChanged, this, &SessionManager::loadUsers);
    loadUsers();
}

void SessionManager::loadUsers()
{
    // An open session goes on with the same (rebuilt) user, now with the configured PIN.
    const bool active = sessionActive();
    m_users.clear();
    m_users.append({0, QStringLiteral("VELT"), QStringLiteral("Admin"),
                    m_config.get(QStringLiteral("gui/settingsPin")).toString()});
    m_activeUser = active ? &m_users.first() : nullptr;
}

void SessionManager::loginRequest(QString pin)
{
    LOG_INFO << "[SessionManager] Login requested with PIN";
    LOG_DEBUG << "[SessionManager] Entered PIN    : " << pin;

    for (const User &user : qAsConst(m_users)) {
        if (user.pin != pin)
            continue;
        m_timer.setSingleShot(true);
        m_timer.start();
        m_activeUser = &user;
        LOG_INFO << "[SessionManager] User logged-in : " << user.name << ", " << user.surname;
        emit accessGranted();
        emit sessionActiveChanged();
        return;
    }
    LOG_WARNING << "[SessionManager] WARN: User entered wrong pin";
    emit accessDenied();
}

void SessionManager::logoutRequest()
{
    if (!m_activeUser)
        return;
    LOG_INFO << "[SessionManager] User logged-out : " << m_activeUser->name << ", "
             << m_activeUser->surname;
    m_timer.stop();
    m_activeUser = nullptr;
    emit sessionActiveChanged();
}

void SessionManager::resetTimer()
{
    // Without a session there is nothing to keep alive (and nothing should expire).
    if (m_activeUser)
        m_timer.start();
}

void SessionManager::onExpired()
{
    LOG_WARNING << "[SessionManager] Session expired";
    logoutRequest();
}
