#include "GeneratedLicence.h"

namespace bench {

// Styled headings, justified paragraphs, lists with their marker text, links,
// escapes, \u characters, a table now and then, and the tables and ignorable
// groups in front.
QByteArray generatedLicence(qsizetype size)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
                     "{\\fonttbl{\\f0\\fswiss\\fcharset0 Helvetica;}{\\f1\\froman\\fcharset0 Times "
                     "New Roman;}{\\f2\\fnil\\fcharset2 Symbol;}}"
                     "{\\colortbl;\\red0\\green0\\blue0;\\red31\\green78\\blue121;}"
                     "{\\stylesheet{\\s0 Normal;}{\\s1\\qc\\b\\fs32 Heading;}}"
                     "{\\*\\generator bench}{\\info{\\title Licence}}\n";
    for (int section = 1; rtf.size() < size; ++section) {
        rtf += "\\pard\\s1\\qc\\sb240\\sa120\\b\\fs32\\cf2 " + QByteArray::number(section) +
               ". Section heading\\b0\\cf1\\par\n";
        for (int paragraph = 0; paragraph < 6; ++paragraph)
            rtf += "\\pard\\plain\\qj\\sa120\\f1\\fs22 The licensee may use the \\b Software\\b0  "
                   "on computers that the licensee owns or controls, subject to "
                   "\\i these terms\\i0 ; see {\\field{\\*\\fldinst{HYPERLINK "
                   "\"https://example.org/terms\"}}{\\fldrslt{\\ul the terms}}} and "
                   "\\ldblquote Schedule A\\rdblquote  (\\u8364?100, caf\\'e9, na\\u239?ve). "
                   "{\\*\\bkmkstart s}{\\*\\bkmkend s}Nothing here limits rights that the law "
                   "gives and that cannot be limited.\\par\n";
        for (int item = 0; item < 3; ++item)
            rtf += "\\pard\\li720\\fi-360\\sa60{\\pntext\\f2\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf2"
                   "{\\pntxtb\\'b7}}A list item that names one more thing the licensee may "
                   "not do.\\par\n";
        if (section % 10 == 0)
            rtf += "\\trowd\\cellx3000\\cellx6000\\pard\\intbl Term\\cell Meaning\\cell\\row"
                   "\\trowd\\cellx3000\\cellx6000\\pard\\intbl Software\\cell The programs\\cell"
                   "\\row\\pard\n";
    }
    return rtf + "}";
}

} // namespace bench
