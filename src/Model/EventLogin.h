#pragma once

#include "Event.h"
#include "User.h"

// "Maintenance login" entry, stamped now.
class EventLogin : public Event
{
    Q_OBJECT
public:
    explicit EventLogin(const User &user, QObject *parent = nullptr);

private:
    // One instant for both the timestamp and the date in the description.
    EventLogin(const User &user, const QDateTime &now, QObject *parent);
};
