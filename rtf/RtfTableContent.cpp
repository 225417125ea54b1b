#include "rtf/RtfTableContent.h"

void RtfCellContent::appendText(const QString &text, const QTextCharFormat &format)
{
    auto &runs = paragraphs.last().runs;
    if (!runs.isEmpty() && runs.last().second == format)
        runs.last().first += text;
    else
        runs.append({text, format});
}
