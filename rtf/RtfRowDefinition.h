#pragma once

#include "rtf/RtfKeywords.h"

#include <QColor>
#include <QList>

class RtfTables;

struct RtfCellBorder
{
    enum Style : signed char
    {
        none,
        single,
        doubleLine,
        dotted,
        dashed
    };
    Style style = none;
    int width = 15; // twips
    QColor color;   // invalid: the automatic colour
};

// One cell as a row definition describes it.
struct RtfCellDefinition
{
    int right = 0; // \cellx: the cell's right edge, in twips from the row's start
    bool mergeFirst = false, merged = false;                 // across columns
    bool verticalMergeFirst = false, verticalMerged = false; // down rows
    signed char verticalAlignment = 0;                       // 0 top, 1 centre, 2 bottom
    QColor shading;                                          // invalid: none
    RtfCellBorder borders[4];                                // top, left, bottom, right
};

struct RtfRowFormat
{
    QList<RtfCellDefinition> cells;
    signed char alignment = 0; // 0 left, 1 centre, 2 right
};

// Reads the words of a row definition: \trowd starts one, each cell's words
// come before its \cellx, which closes the cell.
class RtfRowDefinition
{
public:
    explicit RtfRowDefinition(const RtfTables &tables) : m_tables(tables) {}

    // Applies a row or cell definition word; false when the word is neither.
    bool word(RtfKeyword keyword, int parameter, bool hasParameter);

    const RtfRowFormat &format() const { return m_format; }

    static constexpr int maxCells = 64;

private:
    bool borderWord(RtfKeyword keyword, int parameter, bool hasParameter);

    const RtfTables &m_tables;
    RtfRowFormat m_format;
    RtfCellDefinition m_cell; // the cell being defined
    int m_border = -1;        // which of its borders the border words describe
};
