#include "script/Lexer.h"

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QChar(0x00a0);
}

class Lexer
{
public:
    explicit Lexer(const QString &source) : m_source(source) {}

    LexResult run()
    {
        LexResult result;
        while (m_pos < m_source.size() && !m_error) {
            const QChar c = m_source.at(m_pos);
            if (isBlank(c)) {
                ++m_pos;
            } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
                const int start = m_pos;
                ++m_pos;
                if (c == QLatin1Char('\r') && m_pos < m_source.size() &&
                    m_source.at(m_pos) == QLatin1Char('\n'))
                    ++m_pos;
                result.tokens.push_back(make(TokenKind::newline, start));
                ++m_line;
            } else if (c == QLatin1Char('-') && m_pos + 1 < m_source.size() &&
                       m_source.at(m_pos + 1) == QLatin1Char('-')) {
                while (m_pos < m_source.size() && m_source.at(m_pos) != QLatin1Char('\n') &&
                       m_source.at(m_pos) != QLatin1Char('\r'))
                    ++m_pos;
            } else if (c == QLatin1Char('"')) {
                result.tokens.push_back(string());
            } else if (c.isDigit() && c.unicode() < 0x80) {
                result.tokens.push_back(integer());
            } else if (isWordStart(c)) {
                const int start = m_pos;
                while (m_pos < m_source.size() && isWordPart(m_source.at(m_pos)))
                    ++m_pos;
                Token token = make(TokenKind::word, start);
                token.text = m_source.mid(start, m_pos - start);
                result.tokens.push_back(token);
            } else {
                fail(ScriptErrorNumber::syntax,
                     QStringLiteral("Unknown token \"%1\".")
                         .arg(c.isPrint() ? QString(c)
                                          : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16,
                                                                        QLatin1Char('0'))),
                     m_pos, 1);
            }
        }
        if (m_error) {
            result.tokens.clear();
            result.error = m_error;
            return result;
        }
        result.tokens.push_back(make(TokenKind::end, m_pos));
        return result;
    }

private:
    Token make(TokenKind kind, int start) const
    {
        Token token;
        token.kind = kind;
        token.offset = start;
        token.length = m_pos - start;
        token.line = m_line;
        return token;
    }

    void fail(qint64 number, const QString &message, int offset, int length)
    {
        m_error = ScriptError{number, message, m_line, SourceRange{offset, length}};
    }

    Token string()
    {
        const int start = m_pos;
        const int startLine = m_line;
        ++m_pos;
        QString text;
        while (m_pos < m_source.size()) {
            const QChar c = m_source.at(m_pos);
            if (c == QLatin1Char('"')) {
                ++m_pos;
                Token token = make(TokenKind::string, start);
                token.line = startLine;
                token.text = text;
                return token;
            }
            if (c == QLatin1Char('\\')) {
                if (m_pos + 1 >= m_source.size())
                    break;
                const QChar escaped = m_source.at(m_pos + 1);
                switch (escaped.unicode()) {
                case '"':
                    text += QLatin1Char('"');
                    break;
                case '\\':
                    text += QLatin1Char('\\');
                    break;
                case 'n':
                    text += QLatin1Char('\n');
                    break;
                case 't':
                    text += QLatin1Char('\t');
                    break;
                case 'r':
                    text += QLatin1Char('\r');
                    break;
                default:
                    fail(ScriptErrorNumber::syntax,
                         QStringLiteral("Unknown escape \"\\%1\" in a string.").arg(escaped), m_pos,
                         2);
                    return Token();
                }
                m_pos += 2;
                continue;
            }
            // A line break inside a string belongs to the text.
            if (c == QLatin1Char('\n') ||
                (c == QLatin1Char('\r') &&
                 (m_pos + 1 >= m_source.size() || m_source.at(m_pos + 1) != QLatin1Char('\n'))))
                ++m_line;
            text += c;
            ++m_pos;
        }
        m_line = startLine;
        fail(ScriptErrorNumber::expected, QStringLiteral("Expected '\"' but found end of script."),
             start, static_cast<int>(m_source.size()) - start);
        return Token();
    }

    Token integer()
    {
        const int start = m_pos;
        while (m_pos < m_source.size() && m_source.at(m_pos).isDigit() &&
               m_source.at(m_pos).unicode() < 0x80)
            ++m_pos;
        if (m_pos < m_source.size() && isWordStart(m_source.at(m_pos))) {
            while (m_pos < m_source.size() && isWordPart(m_source.at(m_pos)))
                ++m_pos;
            fail(ScriptErrorNumber::syntax, QStringLiteral("A number can't run into a word."),
                 start, m_pos - start);
            return Token();
        }
        Token token = make(TokenKind::integer, start);
        bool ok = false;
        token.integer = m_source.mid(start, m_pos - start).toLongLong(&ok);
        if (!ok)
            fail(ScriptErrorNumber::syntax, QStringLiteral("The number is too large."), start,
                 m_pos - start);
        return token;
    }

    const QString &m_source;
    int m_pos = 0;
    int m_line = 1;
    std::optional<ScriptError> m_error;
};

} // namespace

LexResult tokenize(const QString &source)
{
    return Lexer(source).run();
}
