#pragma once

#include <QByteArray>
#include <QString>

namespace atomicfile {

// Replaces the file at path with data, whole or not at all: written aside and renamed into
// place, so that a power cut leaves the old content or the new. Where the folder takes no new
// file but the file itself may be written, it is written in place. On failure error (if given)
// holds the reason and the old file is untouched.
bool write(const QString &path, const QByteArray &data, QString *error = nullptr);

} // namespace atomicfile
