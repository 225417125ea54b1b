#include "script/Parser.h"

#include "script/Lexer.h"

namespace {

// Deep enough for any real script, shallow enough that recursion over a
// hostile one cannot exhaust the stack.
constexpr int maxNesting = 100;

constexpr QLatin1StringView reservedWords[] = {
    QLatin1StringView("try"),        QLatin1StringView("on"),
    QLatin1StringView("error"),      QLatin1StringView("end"),
    QLatin1StringView("tell"),       QLatin1StringView("application"),
    QLatin1StringView("set"),        QLatin1StringView("to"),
    QLatin1StringView("return"),     QLatin1StringView("do"),
    QLatin1StringView("shell"),      QLatin1StringView("script"),
    QLatin1StringView("with"),       QLatin1StringView("administrator"),
    QLatin1StringView("privileges"), QLatin1StringView("path"),
    QLatin1StringView("support"),    QLatin1StringView("number"),
};

bool isReserved(const Token &token)
{
    for (QLatin1StringView word : reservedWords)
        if (token.is(word))
            return true;
    return false;
}

QString describe(const Token &token)
{
    switch (token.kind) {
    case TokenKind::end:
        return QStringLiteral("end of script");
    case TokenKind::newline:
        return QStringLiteral("end of line");
    case TokenKind::string:
        return QStringLiteral("string");
    case TokenKind::integer:
        return QStringLiteral("number");
    case TokenKind::word:
        break;
    }
    if (isReserved(token))
        return QStringLiteral("\"%1\"").arg(token.text);
    return QStringLiteral("identifier \"%1\"").arg(token.text);
}

// The parser stops at the first error: it records it and unwinds through
// plain return values, never by throwing.
class Parser
{
public:
    explicit Parser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    CompileResult run()
    {
        auto program = std::make_shared<Program>();
        parseBlock(program->statements, 0);
        if (!m_error && current().kind != TokenKind::end)
            expected(QStringLiteral("statement"));
        if (m_error)
            return CompileResult{nullptr, m_error};
        return CompileResult{program, std::nullopt};
    }

private:
    const Token &current() const { return m_tokens[m_pos]; }
    void advance()
    {
        if (current().kind != TokenKind::end)
            ++m_pos;
    }
    bool failed() const { return m_error.has_value(); }

    void expected(const QString &what)
    {
        if (m_error)
            return;
        const Token &token = current();
        m_error =
            ScriptError{ScriptErrorNumber::expected,
                        QStringLiteral("Expected %1 but found %2.").arg(what, describe(token)),
                        token.line, SourceRange{token.offset, token.length}};
    }

    bool accept(QLatin1StringView keyword)
    {
        if (!current().is(keyword))
            return false;
        advance();
        return true;
    }

    bool require(QLatin1StringView keyword)
    {
        if (accept(keyword))
            return true;
        expected(QStringLiteral("\"%1\"").arg(keyword));
        return false;
    }

    bool tooDeep(int depth)
    {
        if (depth <= maxNesting)
            return false;
        if (!m_error) {
            const Token &token = current();
            m_error = ScriptError{ScriptErrorNumber::syntax,
                                  QStringLiteral("The script nests too deeply."), token.line,
                                  SourceRange{token.offset, token.length}};
        }
        return true;
    }

    // Statements up to a word that ends the block ("end", or "on" in a try),
    // which is left for the caller, or to the end of the script.
    void parseBlock(std::vector<Statement> &into, int depth)
    {
        while (!failed()) {
            const Token &token = current();
            if (token.kind == TokenKind::newline) {
                advance();
                continue;
            }
            if (token.kind == TokenKind::end || (depth > 0 && (token.is(QLatin1StringView("end")) ||
                                                               token.is(QLatin1StringView("on")))))
                return;
            Statement statement = parseStatement(depth);
            if (failed())
                return;
            if (current().kind != TokenKind::newline && current().kind != TokenKind::end) {
                expected(QStringLiteral("end of line"));
                return;
            }
            into.push_back(std::move(statement));
        }
    }

    void endOfLine()
    {
        if (current().kind == TokenKind::newline)
            advance();
        else
            expected(QStringLiteral("end of line"));
    }

    // "end" alone or "end WORD" closes a block opened by WORD.
    void parseEnd(QLatin1StringView opener)
    {
        if (!current().is(QLatin1StringView("end"))) {
            expected(QStringLiteral("\"end %1\"").arg(opener));
            return;
        }
        advance();
        if (current().kind == TokenKind::word && !accept(opener))
            expected(QStringLiteral("\"end %1\"").arg(opener));
    }

    QString variableName()
    {
        const Token &token = current();
        if (token.kind != TokenKind::word || isReserved(token)) {
            expected(QStringLiteral("variable name"));
            return QString();
        }
        advance();
        return token.text.toLower();
    }

    Statement parseStatement(int depth)
    {
        Statement statement;
        statement.line = current().line;
        if (tooDeep(depth))
            return statement;
        if (accept(QLatin1StringView("set"))) {
            statement.kind = Statement::Kind::set;
            statement.name = variableName();
            if (!failed() && require(QLatin1StringView("to")))
                statement.expression = parseExpression(depth + 1);
        } else if (accept(QLatin1StringView("return"))) {
            statement.kind = Statement::Kind::returnValue;
            statement.expression = parseExpression(depth + 1);
        } else if (accept(QLatin1StringView("try"))) {
            statement.kind = Statement::Kind::tryBlock;
            endOfLine();
            parseBlock(statement.body, depth + 1);
            if (!failed() && accept(QLatin1StringView("on"))) {
                statement.hasHandler = true;
                if (require(QLatin1StringView("error"))) {
                    if (current().kind == TokenKind::word &&
                        !current().is(QLatin1StringView("number")))
                        statement.messageVariable = variableName();
                    if (!failed() && accept(QLatin1StringView("number")))
                        statement.numberVariable = variableName();
                }
                if (!failed())
                    endOfLine();
                parseBlock(statement.handler, depth + 1);
            }
            if (!failed())
                parseEnd(QLatin1StringView("try"));
        } else if (accept(QLatin1StringView("tell"))) {
            statement.kind = Statement::Kind::tell;
            if (require(QLatin1StringView("application"))) {
                if (current().kind == TokenKind::string) {
                    statement.name = current().text;
                    advance();
                    endOfLine();
                } else {
                    expected(QStringLiteral("application name"));
                }
            }
            parseBlock(statement.body, depth + 1);
            if (!failed())
                parseEnd(QLatin1StringView("tell"));
        } else {
            statement.kind = Statement::Kind::expression;
            statement.expression = parseExpression(depth + 1);
        }
        return statement;
    }

    std::unique_ptr<Expression> parseExpression(int depth)
    {
        if (failed() || tooDeep(depth))
            return nullptr;
        auto expression = std::make_unique<Expression>();
        const Token &token = current();
        expression->line = token.line;
        if (token.kind == TokenKind::string) {
            expression->kind = Expression::Kind::string;
            expression->text = token.text;
            advance();
        } else if (token.kind == TokenKind::integer) {
            expression->kind = Expression::Kind::integer;
            expression->integer = token.integer;
            advance();
        } else if (accept(QLatin1StringView("path"))) {
            expression->kind = Expression::Kind::applicationSupport;
            if (require(QLatin1StringView("to")) && require(QLatin1StringView("application")))
                require(QLatin1StringView("support"));
        } else if (accept(QLatin1StringView("do"))) {
            expression->kind = Expression::Kind::shellScript;
            if (require(QLatin1StringView("shell")) && require(QLatin1StringView("script")))
                expression->operand = parseExpression(depth + 1);
            if (!failed() && accept(QLatin1StringView("with"))) {
                expression->privileged = require(QLatin1StringView("administrator")) &&
                                         require(QLatin1StringView("privileges"));
            }
        } else if (token.kind == TokenKind::word && !isReserved(token)) {
            expression->kind = Expression::Kind::variable;
            expression->text = token.text.toLower();
            advance();
        } else {
            expected(QStringLiteral("expression"));
        }
        return expression;
    }

    std::vector<Token> m_tokens;
    std::size_t m_pos = 0;
    std::optional<ScriptError> m_error;
};

} // namespace

CompileResult compileScript(const QString &source)
{
    LexResult lexed = tokenize(source);
    if (lexed.error)
        return CompileResult{nullptr, lexed.error};
    return Parser(std::move(lexed.tokens)).run();
}
