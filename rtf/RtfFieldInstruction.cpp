#include "rtf/RtfFieldInstruction.h"

#include <QStringList>

namespace {

// Splits an instruction into its arguments: quotes group words, and a
// backslash escapes a backslash or a quote.
QStringList arguments(const QString &instruction)
{
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < instruction.size(); ++i) {
        const QChar c = instruction[i];
        if (c == QLatin1Char('\\') && i + 1 < instruction.size() &&
            (instruction[i + 1] == QLatin1Char('\\') || instruction[i + 1] == QLatin1Char('"'))) {
            current += instruction[++i];
            any = true;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
            any = true;
        } else if (c.isSpace() && !quoted) {
            if (any)
                arguments.append(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        arguments.append(current);
    return arguments;
}

} // namespace

QString RtfFieldInstruction::hyperlinkTarget(const QString &instruction)
{
    const QStringList words = arguments(instruction);
    if (words.isEmpty() || words.first().compare(QLatin1String("HYPERLINK"), Qt::CaseInsensitive))
        return QString();
    QString target;
    QString bookmark;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const QString &word = words[i];
        if (word.size() == 2 && word.startsWith(QLatin1Char('\\'))) {
            const QChar option = word[1].toLower();
            if (option == QLatin1Char('l') && i + 1 < words.size())
                bookmark = words[++i];
            else if ((option == QLatin1Char('o') || option == QLatin1Char('t')) &&
                     i + 1 < words.size())
                ++i; // tooltip or target frame
            continue;
        }
        if (target.isEmpty())
            target = word;
    }
    if (!bookmark.isEmpty())
        target += QLatin1Char('#') + bookmark;
    return target;
}
