#pragma once

#include "script/ScriptError.h"

#include <QString>

#include <optional>
#include <vector>

enum class TokenKind
{
    word,
    string,
    integer,
    newline,
    end
};

struct Token
{
    TokenKind kind = TokenKind::end;
    QString text;       // word: as written; string: the decoded text
    qint64 integer = 0; // integer literals
    int offset = 0;
    int length = 0;
    int line = 1;

    // A word compared without regard to letter case, as keywords are.
    bool is(QLatin1StringView keyword) const
    {
        return kind == TokenKind::word && text.compare(keyword, Qt::CaseInsensitive) == 0;
    }
};

struct LexResult
{
    std::vector<Token> tokens; // ends with one end token
    std::optional<ScriptError> error;
};

// Splits source text into words, string and integer literals and line ends.
// "--" starts a comment to the end of the line; CR, LF and CR LF end a line
// outside strings; inside a string a line break is part of the text.
LexResult tokenize(const QString &source);
