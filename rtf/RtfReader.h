#pragma once

#include <QByteArrayView>
#include <QString>

class QTextDocument;

struct RtfReadResult
{
    bool ok = false;
    QString message; // why the bytes could not be read; empty on success
};

// Reads an RTF document into a QTextDocument: text with its fonts, sizes,
// colours, character and paragraph formatting, list markers as written,
// hyperlinks and simple tables. Never throws; any input ends in bounded time.
// Groups nested deeper than maxGroupDepth are left out, a file cut short keeps
// the text read so far, and input that does not begin with "{\rtf" is refused.
namespace RtfReader {

RtfReadResult read(QByteArrayView rtf, QTextDocument *document);

inline constexpr int maxGroupDepth = 256;

} // namespace RtfReader
