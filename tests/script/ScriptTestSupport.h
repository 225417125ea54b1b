#pragma once

#include "script/CommandShell.h"
#include "script/Evaluator.h"
#include "script/LocalShell.h"

#include <QStringList>

#include <memory>

// Shells that record what a script asked of them instead of running it.
struct ShellLog
{
    QStringList commands; // "user: ..." or "admin: ..."
    int made = 0;
    int ended = 0;
};

class RecordingShell : public CommandShell
{
public:
    RecordingShell(ShellLog &log, QString tag) : m_log(log), m_tag(std::move(tag)) { ++m_log.made; }
    ~RecordingShell() override { ++m_log.ended; }
    ShellOutcome run(const QString &command) override
    {
        m_log.commands << m_tag + QStringLiteral(": ") + command;
        ShellOutcome outcome;
        outcome.standardOutput = command.toUtf8();
        return outcome;
    }

private:
    ShellLog &m_log;
    QString m_tag;
};

inline EvaluationContext recordingContext(ShellLog &log, bool allowAutomation = true)
{
    EvaluationContext context;
    context.policy = std::make_shared<FixedAutomationPolicy>(allowAutomation);
    context.makeUserShell = [&log] {
        return std::make_unique<RecordingShell>(log, "user");
    };
    context.makeAdministratorShell = [&log] {
        return std::make_unique<RecordingShell>(log, "admin");
    };
    context.applicationSupport = QStringLiteral("/home/tester/.local/share");
    return context;
}

// Runs every command for real, as this user: administrator commands included.
inline EvaluationContext unprivilegedContext(bool allowAutomation = true)
{
    EvaluationContext context;
    context.policy = std::make_shared<FixedAutomationPolicy>(allowAutomation);
    context.makeUserShell = [] {
        return std::make_unique<LocalShell>();
    };
    context.makeAdministratorShell = [] {
        return std::make_unique<LocalShell>();
    };
    context.applicationSupport = QStringLiteral("/home/tester/.local/share");
    return context;
}
