#pragma once

#include <QByteArrayView>

// One lexical unit of an RTF stream. Views point into the tokenizer's input,
// which must outlive the token.
struct RtfToken
{
    enum Type
    {
        groupStart,
        groupEnd,
        controlWord,
        controlSymbol,
        text,
        hexByte,
        binary,
        end
    };

    Type type = end;
    QByteArrayView data; // the word's name, the text run or the binary payload
    int parameter = 0;
    bool hasParameter = false;
    char symbol = 0; // ControlSymbol: the character after the backslash
    uchar byte = 0;  // HexByte: the value of \'hh
};

// Splits RTF bytes into tokens. Never reads past the end of its input and
// always advances, so a loop over next() ends on any input.
class RtfTokenizer
{
public:
    explicit RtfTokenizer(QByteArrayView input) : m_input(input) {}

    RtfToken next();
    qsizetype position() const { return m_pos; }

    // Longest control word name kept; longer names are read whole but
    // reported cut, so they match nothing.
    static constexpr qsizetype maxWordLength = 32;

private:
    RtfToken readControl();

    QByteArrayView m_input;
    qsizetype m_pos = 0;
};
