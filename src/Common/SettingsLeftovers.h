#pragma once

#include <QString>
#include <QStringList>

// QSettings::sync() writes a file under a QLockFile "<file>.lock" through a temporary
// "<file>.XXXXXX" that it renames over the file. A process that dies in between (kill -9, a
// power cut) leaves them behind, and a lock that nobody holds makes every later sync wait about
// 30 s for it to turn stale. These remove such leftovers, and only those.
class SettingsLeftovers
{
public:
    SettingsLeftovers() = delete;

    // Removes the locks of the file that no live process holds; cheap enough before every
    // write. Returns the paths removed.
    static QStringList removeStaleLocks(const QString &file);
    // For the start: the stale locks, and with them the temporaries of the write they guarded.
    // Returns the paths removed.
    static QStringList removeAll(const QString &file);
};
