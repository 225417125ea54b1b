#pragma once

#include "rtf/RtfCodePages.h"
#include "rtf/RtfDocumentBuilder.h"
#include "rtf/RtfKeywords.h"
#include "rtf/RtfPicture.h"
#include "rtf/RtfRowDefinition.h"
#include "rtf/RtfState.h"
#include "rtf/RtfTables.h"
#include "rtf/RtfTokenizer.h"
#include "rtf/RtfUnicodeFallback.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

class QTextDocument;

// Reads the tokens of one RTF document into a document builder: keeps the
// group state, sends each word to what it acts on (destinations, the tables,
// formatting, the body) and decodes the text.
class RtfParser
{
public:
    explicit RtfParser(QTextDocument *document);

    void parse(QByteArrayView input);

private:
    // A group left out whole: its tokens are counted, not read.
    struct SkippedGroup
    {
        int depth = 0;
        bool popsState = true; // whether the group's '{' saved a state
    };
    bool skipped(const RtfToken &token);
    void startSkipping(bool popsState = true) { m_skipped = {1, popsState}; }

    void finish();
    void groupStart();
    void groupEnd();
    void controlWord(const RtfToken &token);
    void controlSymbol(char symbol);
    void text(QByteArrayView bytes);
    void hexByte(uchar byte);
    void unicode(int value);

    bool destinationWord(RtfKeyword keyword, int parameter);
    bool pictureWord(RtfKeyword keyword);
    void fieldResult();
    void bodyWord(RtfKeyword keyword, int parameter, bool hasParameter);
    bool documentWord(RtfKeyword keyword, int parameter);
    bool tableWord(RtfKeyword keyword, int parameter, bool hasParameter);
    void insertPicture();
    void applyFormatting(RtfKeyword keyword, int parameter, bool hasParameter);
    void applyStyle(int number, int nesting);

    void flushBytes();
    void emitText(const QString &text);
    void emitChar(char16_t c) { emitText(QString(QChar(c))); }
    void syncTable();
    void endParagraph();

    QTextCharFormat charFormat();
    QTextBlockFormat blockFormat() const;

    QTextDocument *m_document;
    RtfDocumentBuilder m_builder;
    RtfCodePages m_codePages;
    RtfTables m_tables;
    RtfUnicodeFallback m_fallback;

    RtfGroupState m_state;
    QList<RtfGroupState> m_stack; // the states saved by the open groups
    SkippedGroup m_skipped;
    bool m_ignorable = false; // a \* opened this group

    QStringList m_fieldInstructions; // of the open fields, outermost first
    QStringList m_links;
    RtfRowDefinition m_row;
    bool m_rowOpen = false; // between \trowd and \row: text belongs to the row's cells
    RtfPicture m_picture;
    bool m_shapePictureSeen = false; // a \shppict stands for the \nonshppict after it

    QByteArray m_bytes; // 8-bit text awaiting decoding in the current code page

    RtfCharState m_cachedChars;
    QTextCharFormat m_cachedFormat;
    int m_cachedFontRevision = -1;
    int m_cachedLinks = -1;
};
