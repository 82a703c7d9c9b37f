#include "Scenario.h"

namespace sim {

bool Scenario::split(const QString &line, QStringList *words)
{
    words->clear();
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == '\\' && quoted && i + 1 < line.size() && line.at(i + 1) == '"') {
            word += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == '{' && !quoted && !inWord) {
            // A JSON document (a maintenance barcode) is the rest of the line as typed.
            words->append(line.mid(i).trimmed());
            return true;
        } else if (c.isSpace() && !quoted) {
            if (inWord)
                words->append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        return false;
    if (inWord)
        words->append(word);
    return true;
}

QVector<Scenario::Step> Scenario::parse(const QString &text, const QString &name,
                                        QStringList *errors)
{
    QVector<Step> steps;
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QString where = QStringLiteral("%1:%2: ").arg(name).arg(i + 1);
        Step step;
        step.line = i + 1;
        QStringList words;
        if (!split(line, &words)) {
            errors->append(where + QStringLiteral("unclosed quote"));
            continue;
        }
        if (words.first() == "wait") {
            bool ok = false;
            step.waitMs = words.value(1).toInt(&ok);
            if (!ok || step.waitMs < 0 || words.size() != 2) {
                errors->append(where + QStringLiteral("wait needs one number of milliseconds"));
                continue;
            }
        } else {
            step.words = words;
        }
        steps.append(step);
    }
    return steps;
}

} // namespace sim
