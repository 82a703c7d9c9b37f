#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace sim {

// A scenario: simulator commands, one per line, with "wait <ms>" pauses between them. Blank
// lines and lines starting with "#" are skipped; words may be quoted ("say \"a b\"").
class Scenario
{
public:
    struct Step
    {
        int line = 0;
        QStringList words; // empty for a pause
        int waitMs = 0;
    };

    // Every line that cannot be read is left out and reported in errors as "name:line: why".
    static QVector<Step> parse(const QString &text, const QString &name, QStringList *errors);
    // Splits one command line into words, honouring double quotes; a word that begins with "{"
    // (a JSON document) takes the rest of the line as typed. False on an unclosed quote.
    static bool split(const QString &line, QStringList *words);
};

} // namespace sim
