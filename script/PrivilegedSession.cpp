#include "script/PrivilegedSession.h"

#include "helper/FrameCodec.h"
#include "helper/SystemLocations.h"
#include "script/InstallOperationShell.h"
#include "script/ScriptAnswer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <sys/prctl.h>
#include <unistd.h>

namespace {

QString trimmedText(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).trimmed();
}

} // namespace

PrivilegedSession::PrivilegedSession(QStringList launcher, QString helperPath)
    : m_launcher(std::move(launcher)), m_helperPath(std::move(helperPath))
{}

PrivilegedSession::~PrivilegedSession()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    // The helper ends when its input closes; it runs as root, so it cannot
    // be killed from here and is given the time to finish its last command.
    m_process->closeWriteChannel();
    m_process->waitForFinished(-1);
}

QStringList PrivilegedSession::pkexecLauncher()
{
    // Never looked up on PATH: a program named pkexec early on a user's PATH
    // could show a password prompt of its own.
    for (const QString &pkexec :
         {QStringLiteral("/usr/bin/pkexec"), QStringLiteral("/bin/pkexec")}) {
        const QFileInfo file(pkexec);
        if (file.isFile() && file.isExecutable())
            return {pkexec};
    }
    return {};
}

QString PrivilegedSession::defaultHelperPath()
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    return QFileInfo(self.canonicalFilePath()).absolutePath() +
           QStringLiteral("/../libexec/quorvantic-installer/quorvantic-helper");
}

std::unique_ptr<CommandShell> PrivilegedSession::forThisProcess()
{
    if (::geteuid() == 0)
        return InstallOperationShell::forThisExecutable();
    return std::make_unique<PrivilegedSession>(pkexecLauncher(), defaultHelperPath());
}

ScriptError PrivilegedSession::failure(qint64 number, const QString &message)
{
    m_broken = ScriptError::raised(number, message);
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->closeWriteChannel();
        m_process->waitForFinished(-1);
    }
    return *m_broken;
}

bool PrivilegedSession::readFrame(std::string &type, std::string &payload)
{
    for (;;) {
        const frame::Decoded decoded = frame::decode(m_buffer, frame::Direction::toSession);
        if (decoded.status == frame::DecodeStatus::complete) {
            type = std::string(1, static_cast<char>(decoded.frame.type));
            payload = decoded.frame.payload;
            m_buffer.erase(0, decoded.consumed);
            return true;
        }
        if (decoded.status == frame::DecodeStatus::malformed) {
            type.assign(1, '?'); // not = "?": GCC 12 warns wrongly of an overlap there
            payload = decoded.problem;
            return true;
        }
        // No timeout: the authentication dialog may stay open for as long as
        // the user leaves it, and a command may take as long as it takes,
        // unless the run is stopped (then it is woken to look, below).
        const bool ready = m_process->waitForReadyRead(m_stop ? 200 : -1);
        if (!ready && m_process->state() != QProcess::NotRunning) {
            stopLongCommand();
            continue;
        }
        if (!ready && m_process->bytesAvailable() == 0) {
            m_buffer += m_process->readAllStandardOutput().toStdString();
            if (frame::decode(m_buffer, frame::Direction::toSession).status ==
                frame::DecodeStatus::needMore)
                return false;
            continue;
        }
        m_buffer += m_process->readAllStandardOutput().toStdString();
    }
}

std::optional<ScriptError> PrivilegedSession::start()
{
    if (m_launcher.isEmpty())
        return failure(ScriptErrorNumber::privilegedToolFailed,
                       QStringLiteral("Administrator commands need pkexec, which is not installed "
                                      "(install the package pkexec)."));
    const QFileInfo helper(m_helperPath);
    if (!helper.isAbsolute() || !helper.isFile() || !helper.isExecutable())
        return failure(ScriptErrorNumber::privilegedToolFailed,
                       QStringLiteral("The privileged helper is missing: %1.").arg(m_helperPath));

    // No other process of this user may open our end of the helper's pipes
    // through /proc or trace us while a root helper listens on them.
    ::prctl(PR_SET_DUMPABLE, 0);
    const QString products =
        QDir::cleanPath(helper.canonicalPath() + QLatin1Char('/') +
                        QString::fromUtf8(helper::locations::productsFromHelper.data(),
                                          qsizetype(helper::locations::productsFromHelper.size())));
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(m_launcher.first());
    m_process->setArguments(m_launcher.mid(1) << helper.canonicalFilePath()
                                              << QStringLiteral("--products") << products);
    m_process->start();
    if (!m_process->waitForStarted(-1))
        return failure(ScriptErrorNumber::privilegedToolFailed,
                       QStringLiteral("The privileged helper could not be started: %1.")
                           .arg(m_process->errorString()));

    std::string type;
    std::string payload;
    if (!readFrame(type, payload)) {
        // The launcher ended before the helper greeted: its status is its own.
        m_process->waitForFinished(-1);
        const QString said = trimmedText(m_process->readAllStandardError());
        const int status =
            m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
        if (status == 126)
            return failure(ScriptErrorNumber::userCanceled, ScriptAnswer::userCanceled);
        // pkexec says this when it cannot reach polkit at all: nobody refused.
        if (status == 127 && said.startsWith(QLatin1String("Error checking for authorization")))
            return failure(ScriptErrorNumber::authorizationRefused,
                           QStringLiteral("The administrator authorisation could not be asked "
                                          "for: polkit is not running or cannot be reached (%1)")
                               .arg(said));
        if (status == 127)
            return failure(
                ScriptErrorNumber::authorizationRefused,
                QStringLiteral("The administrator authorisation was refused") +
                    (said.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + said));
        return failure(
            ScriptErrorNumber::privilegedToolFailed,
            QStringLiteral("The privileged helper could not be started: %1.")
                .arg(said.isEmpty() ? QStringLiteral("exit status %1").arg(status) : said));
    }
    if (type == "E")
        return failure(ScriptErrorNumber::privilegedToolFailed,
                       QStringLiteral("The privileged helper refused: %1")
                           .arg(QString::fromStdString(payload)));
    if (type != "H" || payload != frame::helloText)
        return failure(ScriptErrorNumber::privilegedToolFailed,
                       QStringLiteral("The privileged helper answered out of turn."));
    m_greeted = true;
    return std::nullopt;
}

void PrivilegedSession::stopLongCommand()
{
    if (!m_stop || !m_stop->load() || m_inputClosed)
        return;
    if (!m_stopSeen.isValid())
        m_stopSeen.start();
    // The helper ends a copy between two files once its input hangs up.
    if (m_stopSeen.elapsed() >= m_stopGraceMs) {
        m_process->closeWriteChannel();
        m_inputClosed = true;
    }
}

bool PrivilegedSession::exchange(frame::Type type, const QByteArray &payload,
                                 std::string &answerType, std::string &answer, QString &notice)
{
    const std::string request =
        frame::encode(type, std::string_view(payload.constData(), std::size_t(payload.size())));
    m_process->write(request.data(), static_cast<qint64>(request.size()));
    while (m_process->bytesToWrite() > 0)
        if (!m_process->waitForBytesWritten(-1))
            break;
    for (;;) {
        if (!readFrame(answerType, answer))
            return false;
        if (answerType != "N")
            return true;
        notice = QString::fromStdString(answer);
    }
}

ShellEnding PrivilegedSession::finish(bool keep)
{
    // A helper that never greeted changed nothing.
    if (!m_greeted)
        return {true, {}, true};
    const QString unsettled = QStringLiteral(
        "The privileged helper ended before the run was settled; what it changed is undone "
        "when the installer next starts.");
    // Its input closed (a stop) or it broke: it undoes the run itself as it
    // ends, or leaves its journal for the next run.
    if (m_broken || m_inputClosed) {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->closeWriteChannel();
            m_process->waitForFinished(-1);
        }
        const bool clean =
            m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
        return {clean, clean ? QString() : unsettled, true};
    }
    const std::string_view how = keep ? frame::commitText : frame::rollbackText;
    std::string type;
    std::string payload;
    QString notice;
    if (!exchange(frame::Type::finish, QByteArray(how.data(), qsizetype(how.size())), type, payload,
                  notice))
        return {false, unsettled, true};
    const std::optional<frame::CommandResult> result =
        type == "R" ? frame::decodeResult(payload) : std::nullopt;
    if (!result)
        return {false, QStringLiteral("The privileged helper answered out of turn."), true};
    return {result->status == 0, trimmedText(QByteArray::fromStdString(result->standardError)),
            true};
}

ShellOutcome PrivilegedSession::run(const QString &command)
{
    ShellOutcome outcome;
    if (m_broken) {
        outcome.failure = m_broken;
        return outcome;
    }
    const QByteArray text = command.toUtf8();
    if (static_cast<std::size_t>(text.size()) > frame::maxCommandPayload || text.contains('\0')) {
        outcome.failure = ScriptError::raised(
            ScriptErrorNumber::privilegedToolFailed,
            text.contains('\0')
                ? QStringLiteral("The command holds a NUL character.")
                : QStringLiteral("The command is too long for the privileged helper."));
        return outcome;
    }
    if (!m_process) {
        if (auto error = start()) {
            outcome.failure = error;
            return outcome;
        }
    }

    std::string type;
    std::string payload;
    if (!exchange(frame::Type::command, text, type, payload, outcome.notice)) {
        outcome.failure = failure(ScriptErrorNumber::privilegedToolFailed,
                                  QStringLiteral("The privileged helper ended unexpectedly."));
        return outcome;
    }
    if (type == "E") {
        outcome.failure = failure(ScriptErrorNumber::privilegedToolFailed,
                                  QStringLiteral("The privileged helper refused: %1")
                                      .arg(QString::fromStdString(payload)));
        return outcome;
    }
    const std::optional<frame::CommandResult> result =
        type == "R" ? frame::decodeResult(payload) : std::nullopt;
    if (!result) {
        outcome.failure = failure(ScriptErrorNumber::privilegedToolFailed,
                                  QStringLiteral("The privileged helper answered out of turn."));
        return outcome;
    }
    outcome.status = result->status;
    outcome.standardOutput = QByteArray::fromStdString(result->standardOutput);
    outcome.standardError = QByteArray::fromStdString(result->standardError);
    return outcome;
}
