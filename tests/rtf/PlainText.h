#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

// The one normalisation that the reader's plain text and a reference text both
// go through before they are compared: line ends, runs of blanks, blank lines
// and list markers differ between writers of plain text, not between readings.
inline QStringList normalisedLines(QString text)
{
    text.remove(QChar(0xFEFF));
    text.remove(QChar(0x00AD)); // soft hyphens are invisible unless a line breaks there
    text.remove(QChar::ObjectReplacementCharacter); // where a picture stands
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::Nbsp, QLatin1Char(' '));

    static const QRegularExpression blanks(QStringLiteral("[ \\t\\x{2000}-\\x{200A}\\x{3000}]+"));
    // LibreOffice writes runs of spaces as U+2006 and space in turn.
    // A bullet glyph, or a number, letter or roman numeral with its
    // punctuation, followed by white space at the start of a line.
    static const QRegularExpression marker(
        QStringLiteral("^(?:[\\x{2022}\\x{00B7}\\x{25AA}\\x{25CF}\\x{25E6}\\x{2023}\\x{2013}\\-*o"
                       "\\x{F0B7}\\x{F0A7}\\x{F0D8}]"
                       "|\\(?(?:[0-9]{1,3}|[a-zA-Z]|[ivxlcIVXLC]{1,6})[.)]"
                       "|\\((?:[0-9]{1,3}|[a-zA-Z]|[ivxlcIVXLC]{1,6})\\))(?= )"));

    QStringList lines;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line.replace(blanks, QStringLiteral(" "));
        line = line.trimmed();
        line.remove(marker);
        line = line.trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}
