#include "rtf/RtfReader.h"

#include "rtf/RtfParser.h"

#include <QTextCursor>
#include <QTextDocument>

namespace {

bool startsLikeRtf(QByteArrayView input)
{
    qsizetype i = 0;
    if (input.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < input.size() &&
           (input[i] == ' ' || input[i] == '\t' || input[i] == '\r' || input[i] == '\n'))
        ++i;
    return input.sliced(i).startsWith("{\\rtf");
}

} // namespace

RtfReadResult RtfReader::read(QByteArrayView rtf, QTextDocument *document)
{
    RtfReadResult result;
    if (!document) {
        result.message = QStringLiteral("There is no document to read into.");
        return result;
    }
    document->clear();
    if (rtf.isEmpty()) {
        result.message = QStringLiteral("The file is empty, so it cannot be read as RTF.");
        return result;
    }
    if (!startsLikeRtf(rtf)) {
        result.message =
            QStringLiteral("The file is not in RTF format: it does not begin with \"{\\rtf\".");
        return result;
    }
    // One edit block for the whole read: outside one, every table inserted
    // rescans the document's frames and every text run positions its cursor
    // on a laid-out line, which makes long documents quadratic.
    QTextCursor edit(document);
    edit.beginEditBlock();
    RtfParser parser(document);
    parser.parse(rtf.sliced(rtf.indexOf('{')));
    edit.endEditBlock();
    result.ok = true;
    return result;
}
