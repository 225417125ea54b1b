#pragma once

#include <QString>

#include <optional>

// Where a compile error lies in the source: an offset and a length in UTF-16
// code units, counted from 0.
struct SourceRange
{
    int offset = 0;
    int length = 0;
};

// An error as a script sees it: the message and number that "on error" binds,
// the line it arose on, and, for a compile error only, its source range.
struct ScriptError
{
    qint64 number = 0;
    QString message;
    int line = 0;
    std::optional<SourceRange> range;

    static ScriptError raised(qint64 number, const QString &message, int line = 0)
    {
        return ScriptError{number, message, line, std::nullopt};
    }

    bool isCompileError() const { return range.has_value(); }

    // One readable line: the message, then the number, line and, for compile
    // errors, where in the line (counted from 0): "character N" for one
    // character or none, "characters N-M" (first to last) for more, e.g.
    // Expected "to" but found end of line. (error -2741, line 2, character 9)
    QString description() const;
};

// Error numbers the interpreter raises itself.
namespace ScriptErrorNumber {
inline constexpr qint64 syntax = -2740;   // a malformed script
inline constexpr qint64 expected = -2741; // "Expected ... but found ..."
inline constexpr qint64 undefinedVariable = -2753;
inline constexpr qint64 cannotGet = -1728;
inline constexpr qint64 notAuthorized = -1743; // automation refused
inline constexpr qint64 userCanceled = -128;
inline constexpr qint64 shellNotStarted = -10000;
inline constexpr qint64 authorizationRefused = -60005;
inline constexpr qint64 privilegedToolFailed = -60008;
inline constexpr qint64 outputTooLarge = -60010;
inline constexpr qint64 interrupted = -60020;
} // namespace ScriptErrorNumber
