#include "AtomicFile.h"

#include <QSaveFile>

namespace atomicfile {

bool write(const QString &path, const QByteArray &data, QString *error)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    // Every byte must have reached the file before the rename: commit() does not notice a write
    // that fails only when the buffer is flushed (a full disk), and would put the short file in
    // place of the good one.
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(data) == data.size() &&
                    file.flush() && file.commit();
    if (!ok) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
    }
    return ok;
}

} // namespace atomicfile
