#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Reads an install script back the way its interpreter and the shell would,
// so tests can check what each line does rather than how it is spelt.
struct ScriptLine
{
    QString command; // the shell command, the string literal's escapes undone
    bool privileged; // ends with "with administrator privileges"
    int gap;         // spaces before "with", 0 when unprivileged
};

struct ParsedScript
{
    bool ok = false;
    QString error;
    QList<ScriptLine> lines;
};

inline ParsedScript parseInstallScript(const QString &script)
{
    ParsedScript parsed;
    const QString head = QStringLiteral("try\n");
    const QString tail = QStringLiteral("\non error errMsg\nreturn errMsg\nend try\nreturn \"Ok\"");
    if (!script.startsWith(head) || !script.endsWith(tail)) {
        parsed.error = QStringLiteral("not wrapped in the error trap");
        return parsed;
    }
    const QString body = script.mid(head.size(), script.size() - head.size() - tail.size());
    const QString opener = QStringLiteral("do shell script \"");
    const QString privilege = QStringLiteral("with administrator privileges");
    qsizetype i = 0;
    while (i < body.size()) {
        if (body.mid(i, opener.size()) != opener) {
            parsed.error = QStringLiteral("line does not open a shell command at %1").arg(i);
            return parsed;
        }
        i += opener.size();
        ScriptLine line{QString(), false, 0};
        for (;;) {
            if (i >= body.size()) {
                parsed.error = QStringLiteral("unterminated string");
                return parsed;
            }
            const QChar c = body[i++];
            if (c == QLatin1Char('"'))
                break;
            if (c == QLatin1Char('\\')) {
                if (i >= body.size() ||
                    (body[i] != QLatin1Char('\\') && body[i] != QLatin1Char('"'))) {
                    parsed.error = QStringLiteral("unexpected escape in the string literal");
                    return parsed;
                }
                line.command += body[i++];
            } else {
                line.command += c;
            }
        }
        const qsizetype end = body.indexOf(QLatin1Char('\n'), i);
        if (end < 0) {
            parsed.error = QStringLiteral("command line without its line feed");
            return parsed;
        }
        const QString rest = body.mid(i, end - i);
        if (!rest.isEmpty()) {
            line.gap = int(rest.size() - rest.trimmed().size());
            if (rest.trimmed() != privilege || rest.endsWith(QLatin1Char(' '))) {
                parsed.error = QStringLiteral("unexpected text after the command: ") + rest;
                return parsed;
            }
            line.privileged = true;
        }
        parsed.lines.append(line);
        i = end + 1;
    }
    parsed.ok = true;
    return parsed;
}

// The words of a shell command as `sh` would split them: double-quoted runs
// with their escapes undone, single-quoted runs verbatim, blanks between.
inline QStringList shellWords(const QString &command)
{
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (c == QLatin1Char(' ')) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == QLatin1Char('"')) {
            for (++i; i < command.size() && command[i] != QLatin1Char('"'); ++i) {
                if (command[i] == QLatin1Char('\\') && i + 1 < command.size() &&
                    QStringLiteral("\\\"$`").contains(command[i + 1]))
                    ++i;
                word += command[i];
            }
        } else if (c == QLatin1Char('\'')) {
            for (++i; i < command.size() && command[i] != QLatin1Char('\''); ++i)
                word += command[i];
        } else {
            word += c;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}
