#include "script/ScriptError.h"

QString ScriptError::description() const
{
    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    QString where = QStringLiteral(" (error %1, line %2").arg(number).arg(line);
    if (range) {
        if (range->length <= 1)
            where += QStringLiteral(", character %1").arg(range->offset);
        else
            where += QStringLiteral(", characters %1-%2")
                         .arg(range->offset)
                         .arg(range->offset + range->length - 1);
    }
    return text + where + QLatin1Char(')');
}
