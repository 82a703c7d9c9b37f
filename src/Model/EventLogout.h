#pragma once

#include "Event.h"

// "Maintenance logout" entry, stamped now.
class EventLogout : public Event
{
    Q_OBJECT
public:
    explicit EventLogout(QObject *parent = nullptr);

private:
    // One instant for both the timestamp and the date in the description.
    EventLogout(const QDateTime &now, QObject *parent);
};
