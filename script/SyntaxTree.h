#pragma once

#include <QString>

#include <memory>
#include <vector>

// The syntax tree of a compiled script. Every node knows the line it starts on.

struct Expression
{
    enum class Kind
    {
        string,
        integer,
        variable,
        applicationSupport,
        shellScript
    };
    Kind kind = Kind::string;
    int line = 0;
    QString text;                        // string literal, or variable name in lower case
    qint64 integer = 0;                  // integer literal
    std::unique_ptr<Expression> operand; // the command of "do shell script"
    bool privileged = false;             // "with administrator privileges"
};

struct Statement
{
    enum class Kind
    {
        set,
        returnValue,
        tryBlock,
        tell,
        expression
    };
    Kind kind = Kind::expression;
    int line = 0;
    QString name;                           // set: variable (lower case); tell: application
    std::unique_ptr<Expression> expression; // set, return, expression
    std::vector<Statement> body;            // try, tell
    bool hasHandler = false;                // try: an "on error" part
    QString messageVariable;                // try: "on error NAME", lower case, may be empty
    QString numberVariable;                 // try: "on error ... number NAME"
    std::vector<Statement> handler;         // try: the "on error" part
};

struct Program
{
    std::vector<Statement> statements;
};
