#pragma once

#include "rtf/RtfKeywords.h"
#include "rtf/RtfState.h"

#include <QColor>
#include <QTextBlockFormat>
#include <QTextCharFormat>

struct RtfFontEntry;

// Character and paragraph formatting: how formatting words change the state,
// and the Qt formats a state stands for. Shared by the body and the replay of
// styles.
namespace RtfFormatting {

// Apply a word to the character or paragraph state; false when it is neither.
bool applyCharacterWord(RtfCharState &chars, RtfKeyword keyword, int parameter, bool hasParameter);
bool applyParagraphWord(RtfParaState &para, RtfKeyword keyword, int parameter, bool hasParameter);

struct CharContext
{
    const RtfFontEntry *font = nullptr; // the run's font, if the table has it
    QColor foreground;                  // invalid: the automatic colour
    QColor background;
    QString link; // the hyperlink target, empty outside links
};

QTextCharFormat charFormat(const RtfCharState &chars, const CharContext &context);
QTextBlockFormat blockFormat(const RtfParaState &para);

} // namespace RtfFormatting
