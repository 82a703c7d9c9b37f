#include "IniText.h"

#include <QDataStream>
#include <QList>
#include <QMetaType>

namespace initext {

QByteArray withStreamedValuesAsBytes(const QByteArray &ini)
{
    static const QByteArray prefixes[] = {QByteArrayLiteral("@Variant("),
                                          QByteArrayLiteral("@DateTime(")};
    QList<QByteArray> lines = ini.split('\n');
    for (QByteArray &line : lines) {
        const int equals = line.indexOf('=');
        if (equals < 0 || line.trimmed().startsWith('['))
            continue;
        int value = equals + 1;
        while (value < line.size() && (line.at(value) == ' ' || line.at(value) == '\t'))
            ++value;
        for (const QByteArray &prefix : prefixes) {
            if (line.mid(value, prefix.size()) == prefix) {
                line.replace(value, prefix.size(), QByteArrayLiteral("@ByteArray("));
                break;
            }
        }
    }
    return lines.join('\n');
}

QDateTime dateTimeFromStream(const QByteArray &bytes)
{
    // As QSettings writes it: a QVariant (type, null flag, value) in the 5.6 stream format.
    QDataStream stream(bytes);
    stream.setVersion(QDataStream::Qt_5_6);
    quint32 type = 0;
    quint8 isNull = 0;
    stream >> type >> isNull;
    if (stream.status() != QDataStream::Ok || type != QMetaType::QDateTime)
        return QDateTime();
    QDateTime value;
    stream >> value;
    return stream.status() == QDataStream::Ok ? value : QDateTime();
}

} // namespace initext
