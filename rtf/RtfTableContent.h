#pragma once

#include "rtf/RtfRowDefinition.h"

#include <QList>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>

#include <utility>

// A table as it is read, before it is laid into the document: its rows, each
// with the cells' paragraphs and the row definition in force at its end.
struct RtfParagraphContent
{
    QTextBlockFormat format;
    QTextCharFormat markFormat;
    QList<std::pair<QString, QTextCharFormat>> runs;

    bool isEmpty() const { return runs.isEmpty(); }
};

struct RtfCellContent
{
    QList<RtfParagraphContent> paragraphs{RtfParagraphContent()};

    bool isEmpty() const { return paragraphs.size() == 1 && paragraphs.first().isEmpty(); }
    void appendText(const QString &text, const QTextCharFormat &format);
};

struct RtfRowContent
{
    QList<RtfCellContent> cells;
    RtfRowFormat format;
};
