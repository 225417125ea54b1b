#include "engine/RunLog.h"

#include "helper/SafePath.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

namespace {

constexpr int keptLogs = 20;
constexpr qint64 keptAgeMs = qint64(30) * 24 * 60 * 60 * 1000;
constexpr int maxSameStart = 1000; // runs started in one millisecond

QString reason(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

QString notWritten(const QString &folder, const QString &why)
{
    return QStringLiteral("The run's log could not be written in \"%1\": %2.").arg(folder, why);
}

// The offset from UTC as +hhmm, which every reader's tools understand.
QString utcOffset(const QDateTime &time)
{
    const int minutes = time.offsetFromUtc() / 60;
    const int magnitude = minutes < 0 ? -minutes : minutes;
    return QStringLiteral("%1%2%3")
        .arg(minutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
        .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

// Every line but the first indented, so a many-line text stays under its heading.
QString indented(QString text)
{
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(text.endsWith(QStringLiteral("\r\n")) ? 2 : 1);
    return text.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
}

QString section(const QString &title, const QString &body)
{
    QString text = QStringLiteral("--- ") + title + QLatin1Char('\n') + body;
    if (!body.isEmpty() && !body.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return text;
}

bool isLogName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^install-\\d{4}-\\d{2}-\\d{2}T\\d{2}-\\d{2}-\\d{2}\\.\\d{3}(-\\d+)?\\.log$"));
    return pattern.match(name).hasMatch();
}

} // namespace

RunLog::RunLog(const QString &script, const StateFolder &folder, QDateTime now)
    : m_start(now.isValid() ? std::move(now) : QDateTime::currentDateTime())
{
    if (folder.path().isEmpty()) {
        m_warning = QStringLiteral("The run's log has no folder to be written in.");
        return;
    }
    QString problem;
    if (!folder.run([this, &folder, &script] { start(folder, script); }, problem))
        m_warning = notWritten(folder.path(), problem);
}

RunLog::~RunLog()
{
    QMutexLocker lock(&m_mutex);
    if (m_fd >= 0)
        write(QStringLiteral("--- no answer: the run ended before giving one\n"));
    close();
}

// Runs as the folder's owner: everything in the folder goes through its descriptor.
void RunLog::start(const StateFolder &folder, const QString &script)
{
    const helper::OpenedFolder opened = folder.open(true);
    if (!opened.fd.valid()) {
        m_warning = notWritten(folder.path(), QString::fromStdString(opened.problem));
        return;
    }
    if (!create(opened.fd.get(), folder.path()))
        return;
    write(QStringLiteral("Quorvantic Plugin Installer run, started ") +
          m_start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) + utcOffset(m_start) +
          QLatin1Char('\n') + section(QStringLiteral("script"), script) +
          section(QStringLiteral("commands"), QString()));
    prune(opened.fd.get());
}

bool RunLog::create(int folderFd, const QString &folder)
{
    const QString stem =
        QStringLiteral("install-") + m_start.toString(QStringLiteral("yyyy-MM-dd'T'HH-mm-ss.zzz"));
    for (int same = 1; same <= maxSameStart; ++same) {
        const QString name = stem + (same > 1 ? QStringLiteral("-%1").arg(same) : QString()) +
                             QStringLiteral(".log");
        // O_EXCL: a run started in the same millisecond is never overwritten,
        // and with O_NOFOLLOW nothing is written through a link in its place.
        // O_CLOEXEC: the commands run must not inherit the log.
        m_fd = ::openat(folderFd, QFile::encodeName(name).constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            m_path = folder + QLatin1Char('/') + name;
            return true;
        }
        if (errno != EEXIST) {
            m_warning = notWritten(folder, reason(errno));
            return false;
        }
    }
    m_warning = notWritten(folder, reason(EEXIST));
    return false;
}

void RunLog::prune(int folderFd) const
{
    struct Log
    {
        std::string name;
        qint64 modifiedMs;
    };
    std::vector<helper::FolderEntry> entries;
    std::string problem;
    if (!helper::listFolder(folderFd, std::string(), entries, problem))
        return; // retried next run
    std::vector<Log> logs;
    const std::string own = QFile::encodeName(QFileInfo(m_path).fileName()).toStdString();
    for (const helper::FolderEntry &entry : entries) {
        struct stat status = {};
        if (entry.name == own || !isLogName(QFile::decodeName(entry.name.c_str())) ||
            ::fstatat(folderFd, entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode))
            continue;
        logs.push_back(
            {entry.name, qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000});
    }
    std::sort(logs.begin(), logs.end(), [](const Log &a, const Log &b) {
        return a.modifiedMs != b.modifiedMs ? a.modifiedMs > b.modifiedMs : a.name > b.name;
    });
    const qint64 oldestKept = m_start.toMSecsSinceEpoch() - keptAgeMs;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        // The new log is one of the kept ones; one left behind is retried next run.
        if (i + 1 >= std::size_t(keptLogs) || logs[i].modifiedMs < oldestKept)
            ::unlinkat(folderFd, logs[i].name.c_str(), 0);
    }
}

void RunLog::write(const QString &text)
{
    if (m_fd < 0)
        return;
    const QByteArray bytes = text.toUtf8();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(m_fd, bytes.constData() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_warning = QStringLiteral("The run's log \"%1\" could not be written to: %2.")
                            .arg(m_path, reason(written < 0 ? errno : ENOSPC));
            close();
            return;
        }
        done += written;
    }
}

void RunLog::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void RunLog::command(const CommandReport &report)
{
    QMutexLocker lock(&m_mutex);
    if (m_fd < 0)
        return;
    // Shown in the run's own time zone, as the heading is.
    const QDateTime started = m_start.addMSecs(report.startedMs - m_start.toMSecsSinceEpoch());
    QString text =
        QStringLiteral("[%1] #%2 (%3) %4\n")
            .arg(started.toString(QStringLiteral("HH:mm:ss.zzz")))
            .arg(report.number)
            .arg(report.privileged ? QStringLiteral("administrator") : QStringLiteral("user"),
                 indented(report.command));
    if (report.failure)
        text += QStringLiteral("    failed: %1, %2 ms\n")
                    .arg(report.failure->description(), QString::number(report.durationMs));
    else
        text += QStringLiteral("    status %1, %2 ms\n").arg(report.status).arg(report.durationMs);
    if (!report.standardError.isEmpty())
        text += QStringLiteral("    ") + indented(QString::fromUtf8(report.standardError)) +
                QLatin1Char('\n');
    write(text);
}

void RunLog::finish(const QString &answer)
{
    QMutexLocker lock(&m_mutex);
    write(section(QStringLiteral("answer"), answer));
    close();
}

QString RunLog::path() const
{
    QMutexLocker lock(&m_mutex);
    return m_path;
}

QString RunLog::warning() const
{
    QMutexLocker lock(&m_mutex);
    return m_warning;
}
