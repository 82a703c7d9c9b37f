#include "Json.h"

#include <QJsonArray>
#include <QJsonParseError>
#include <QSet>
#include <QVector>

namespace json {

namespace {

struct Level
{
    bool object = false;
    bool expectKey = false;
    QSet<QString> keys;
};

// The text of a string token as the parser would read it: escapes are resolved by the parser
// itself, on an array that holds no object.
QString keyText(const QByteArray &token)
{
    if (!token.contains('\\'))
        return QString::fromUtf8(token.constData() + 1, token.size() - 2);
    const QJsonDocument single = QJsonDocument::fromJson('[' + token + ']');
    return single.array().at(0).toString();
}

} // namespace

bool hasDuplicateKey(const QByteArray &data)
{
    QVector<Level> levels;
    const int size = data.size();
    for (int i = 0; i < size; ++i) {
        const char c = data.at(i);
        switch (c) {
        case '{':
            levels.append({true, true, {}});
            break;
        case '[':
            levels.append({false, false, {}});
            break;
        case '}':
        case ']':
            if (levels.isEmpty())
                return false; // malformed from here on
            levels.removeLast();
            break;
        case ',':
            if (!levels.isEmpty() && levels.last().object)
                levels.last().expectKey = true;
            break;
        case ':':
            if (!levels.isEmpty())
                levels.last().expectKey = false;
            break;
        case '"': {
            int end = i + 1;
            while (end < size && data.at(end) != '"')
                end += data.at(end) == '\\' ? 2 : 1;
            if (end >= size)
                return false; // unterminated: the parser stops here too
            if (!levels.isEmpty() && levels.last().object && levels.last().expectKey) {
                Level &level = levels.last();
                const QString key = keyText(data.mid(i, end - i + 1));
                if (level.keys.contains(key))
                    return true;
                level.keys.insert(key);
                level.expectKey = false;
            }
            i = end;
            break;
        }
        default:
            break;
        }
    }
    return false;
}

QJsonDocument parse(const QByteArray &data, QString *error)
{
    if (hasDuplicateKey(data)) {
        if (error)
            *error = QStringLiteral("duplicate key");
        return QJsonDocument();
    }
    QJsonParseError parseError{};
    QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (error)
        *error =
            parseError.error == QJsonParseError::NoError ? QString() : parseError.errorString();
    return document;
}

} // namespace json
