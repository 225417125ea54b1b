#pragma once

#include <QList>

// Formatting and destination state that RTF saves at '{' and restores at '}'.

enum class RtfDestination
{
    body,             // text goes into the document
    fontTable,        // font entries: numbers, families, charsets, names
    colorTable,       // colour entries separated by ';'
    styleSheet,       // style entries: their formatting words are recorded
    field,            // the \field group itself; text only in its parts
    fieldInstruction, // text is the field's instruction
    suppressed,       // text dropped, but groups inside may bring it back (\upr)
    picture,          // \pict: picture properties and its data as hex or \bin
};

enum class RtfUnderline
{
    none,
    single,
    doubleLine,
    dotted,
    dashed,
    dashDot,
    dashDotDot,
    wave,
    thick
};

struct RtfCharState
{
    int font = -1;       // font number; -1 is the document's default font
    int halfPoints = 24; // \fs, in half points
    int foreground = -1; // colour table index; -1 or an empty entry is the automatic colour
    int background = -1;
    int raise = 0; // \up (positive) or \dn (negative), in half points
    int link = -1; // index of the hyperlink target this text belongs to
    RtfUnderline underline = RtfUnderline::none;
    signed char script = 0; // 1 superscript, -1 subscript
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool caps = false;
    bool smallCaps = false;
    bool hidden = false;

    bool operator==(const RtfCharState &) const = default;
};

struct RtfTabStop
{
    int position = 0;     // twips
    signed char kind = 0; // 0 left, 1 centre, 2 right, 3 decimal
    bool operator==(const RtfTabStop &) const = default;
};

struct RtfParaState
{
    int alignment = 0;                                    // 0 left, 1 centre, 2 right, 3 justified
    int leftIndent = 0, rightIndent = 0, firstIndent = 0; // twips
    int spaceBefore = 0, spaceAfter = 0;                  // twips
    int lineSpacing = 0;                                  // twips; see \slmult
    bool lineMultiple = false;
    bool inTable = false;
    bool pageBreakBefore = false;
    signed char nextTabKind = 0; // kind of the next \tx
    QList<RtfTabStop> tabs;

    bool operator==(const RtfParaState &) const = default;
};

struct RtfGroupState
{
    RtfCharState chars;
    RtfParaState para;
    RtfDestination destination = RtfDestination::body;
    int unicodeSkip = 1; // \uc: fallback characters after each \u
    int field = -1;      // the innermost open field, an index into the reader's list
};
