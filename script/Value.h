#pragma once

#include <QString>

// A script value: text or an integer.
struct Value
{
    bool isInteger = false;
    qint64 integer = 0;
    QString text;

    static Value fromText(const QString &text) { return Value{false, 0, text}; }
    static Value fromInteger(qint64 number) { return Value{true, number, QString()}; }

    // What the runner compares: the text itself, or the integer in decimal.
    QString textForm() const { return isInteger ? QString::number(integer) : text; }
};
