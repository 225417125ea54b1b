#include "engine/ScriptJob.h"

#include "core/AppSettings.h"

#include <QPointer>
#include <QThreadPool>

#include <latch>
#include <memory>

void runScriptAndWait(AppSettings &settings, const QString &script,
                      std::function<void(const ScriptOutcome &)> handler)
{
    // Copied here, on the main thread: the job must not read the state object.
    ScriptExecutor executor = settings.scriptExecutor();
    if (!executor)
        executor = defaultScriptExecutor();

    auto done = std::make_shared<std::latch>(1);
    QPointer<AppSettings> target(&settings);
    QThreadPool::globalInstance()->start(
        [done, target, script, executor = std::move(executor), handler = std::move(handler)] {
            const ScriptOutcome outcome = executor(script);
            done->count_down();
            if (!outcome.created)
                return;
            QMetaObject::invokeMethod(
                target.data(),
                [target, outcome, handler] {
                    if (target)
                        handler(outcome);
                },
                Qt::QueuedConnection);
        });

    emit settings.scriptWaitStarted();
    done->wait();
    emit settings.scriptWaitFinished();
}
