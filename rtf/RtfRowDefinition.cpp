#include "rtf/RtfRowDefinition.h"

#include "rtf/RtfTables.h"
#include "rtf/RtfUnits.h"

bool RtfRowDefinition::word(RtfKeyword keyword, int parameter, bool hasParameter)
{
    switch (keyword) {
    case RtfKeyword::rowDefaults:
        m_format = RtfRowFormat();
        m_cell = RtfCellDefinition();
        m_border = -1;
        return true;
    case RtfKeyword::rowAlignCenter:
        m_format.alignment = 1;
        return true;
    case RtfKeyword::rowAlignRight:
        m_format.alignment = 2;
        return true;
    case RtfKeyword::cellBoundary:
        m_cell.right = RtfUnits::clampTwips(parameter);
        if (m_format.cells.size() < maxCells)
            m_format.cells.append(m_cell);
        m_cell = RtfCellDefinition();
        m_border = -1;
        return true;
    case RtfKeyword::cellMergeFirst:
        m_cell.mergeFirst = true;
        return true;
    case RtfKeyword::cellMerged:
        m_cell.merged = true;
        return true;
    case RtfKeyword::cellVerticalMergeFirst:
        m_cell.verticalMergeFirst = true;
        return true;
    case RtfKeyword::cellVerticalMerged:
        m_cell.verticalMerged = true;
        return true;
    case RtfKeyword::cellAlignTop:
    case RtfKeyword::cellAlignCenter:
    case RtfKeyword::cellAlignBottom:
        m_cell.verticalAlignment = keyword == RtfKeyword::cellAlignTop      ? 0
                                   : keyword == RtfKeyword::cellAlignCenter ? 1
                                                                            : 2;
        return true;
    case RtfKeyword::cellShading:
        m_cell.shading = m_tables.color(parameter);
        return true;
    default:
        return borderWord(keyword, parameter, hasParameter);
    }
}

bool RtfRowDefinition::borderWord(RtfKeyword keyword, int parameter, bool hasParameter)
{
    switch (keyword) {
    case RtfKeyword::cellBorderTop:
    case RtfKeyword::cellBorderLeft:
    case RtfKeyword::cellBorderBottom:
    case RtfKeyword::cellBorderRight:
        m_border = int(keyword) - int(RtfKeyword::cellBorderTop);
        return true;
    case RtfKeyword::otherBorder:
        m_border = -1;
        return false; // paragraph borders are not drawn, but the word is not ours
    default:
        break;
    }
    if (m_border < 0)
        return false;
    RtfCellBorder &border = m_cell.borders[m_border];
    switch (keyword) {
    case RtfKeyword::borderNone:
        border.style = RtfCellBorder::none;
        return true;
    case RtfKeyword::borderSingle:
        border.style = RtfCellBorder::single;
        return true;
    case RtfKeyword::borderDouble:
        border.style = RtfCellBorder::doubleLine;
        return true;
    case RtfKeyword::borderDotted:
        border.style = RtfCellBorder::dotted;
        return true;
    case RtfKeyword::borderDashed:
        border.style = RtfCellBorder::dashed;
        return true;
    case RtfKeyword::borderWidth:
        border.width = hasParameter ? std::clamp(parameter, 1, 255) : 15;
        return true;
    case RtfKeyword::borderColor:
        border.color = m_tables.color(parameter);
        return true;
    default:
        return false;
    }
}
