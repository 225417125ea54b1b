#pragma once

#include "engine/FinderProbe.h"
#include "engine/ScriptOutcome.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <memory>

// Stands in for the interpreter: records every script it is given (from the
// worker thread) and answers the access probe and the install script with
// the outcomes the test sets.
class RecordingExecutor
{
public:
    struct Shared
    {
        QMutex mutex;
        QStringList sources;
        ScriptOutcome probeAnswer{true, QStringLiteral("0"), std::nullopt};
        ScriptOutcome installAnswer{true, QStringLiteral("Ok"), std::nullopt};
    };

    PlainScriptExecutor executor() const
    {
        return [shared = m_shared](const QString &source) {
            QMutexLocker lock(&shared->mutex);
            shared->sources.append(source);
            return source == finderProbeScript() ? shared->probeAnswer : shared->installAnswer;
        };
    }

    void answerProbe(const ScriptOutcome &outcome)
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->probeAnswer = outcome;
    }
    void answerInstall(const ScriptOutcome &outcome)
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->installAnswer = outcome;
    }
    static ScriptOutcome answer(const QString &text) { return {true, text, std::nullopt}; }

    QStringList sources() const
    {
        QMutexLocker lock(&m_shared->mutex);
        return m_shared->sources;
    }
    int probeRuns() const { return sources().count(finderProbeScript()); }
    int installRuns() const { return int(sources().size()) - probeRuns(); }

private:
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};
