#pragma once

#include <QString>

// Writes one developer-facing line ("Fail__ ...", "SCRIPT -- ...") to standard
// output, followed by a line feed, and flushes it so the order of lines from
// different threads follows the order of the calls.
void printDiagnostic(const QString &line);
