#include "engine/RunLog.h"

#include "script/UserAccount.h"

#include <QDir>
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

// Makes each missing folder of `path` in turn, so that the error returned
// names what stopped it (0 when all are there). One that exists but is not a
// folder is left for the file's creation to report.
int makeFolder(const QByteArray &path)
{
    for (qsizetype i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/')
            continue;
        const QByteArray prefix = path.left(i);
        if (!prefix.endsWith('/') && ::mkdir(prefix.constData(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return 0;
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

QString RunLog::defaultFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base)) {
        QString home = qEnvironmentVariable("HOME");
        if (!QDir::isAbsolutePath(home)) {
            const std::optional<UserAccount> account = accountOf(::getuid());
            home = account ? account->home : QString();
        }
        if (home.isEmpty())
            return QString(); // no home at all: nowhere that is the user's own
        base = home + QStringLiteral("/.local/state");
    }
    return QDir::cleanPath(base + QStringLiteral("/quorvantic-installer"));
}

RunLog::RunLog(const QString &script, const QString &folder, QDateTime now)
    : m_start(now.isValid() ? std::move(now) : QDateTime::currentDateTime())
{
    if (!open(folder))
        return;
    write(QStringLiteral("Quorvantic Plugin Installer run, started ") +
          m_start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) + utcOffset(m_start) +
          QLatin1Char('\n') + section(QStringLiteral("script"), script) +
          section(QStringLiteral("commands"), QString()));
    prune(folder);
}

RunLog::~RunLog()
{
    QMutexLocker lock(&m_mutex);
    if (m_fd >= 0)
        write(QStringLiteral("--- no answer: the run ended before giving one\n"));
    close();
}

bool RunLog::open(const QString &folder)
{
    if (folder.isEmpty()) {
        m_warning = QStringLiteral("The run's log has no folder to be written in.");
        return false;
    }
    const QString cause = QStringLiteral("The run's log could not be written in \"%1\": %2.");
    if (const int error = makeFolder(QFile::encodeName(folder))) {
        m_warning = cause.arg(folder, reason(error));
        return false;
    }
    const QString stem =
        QStringLiteral("/install-") + m_start.toString(QStringLiteral("yyyy-MM-dd'T'HH-mm-ss.zzz"));
    for (int same = 1; same <= maxSameStart; ++same) {
        const QString candidate = QDir::cleanPath(folder) + stem +
                                  (same > 1 ? QStringLiteral("-%1").arg(same) : QString()) +
                                  QStringLiteral(".log");
        // O_EXCL: a run started in the same millisecond is never overwritten.
        // O_CLOEXEC: the commands run must not inherit the log.
        m_fd = ::open(QFile::encodeName(candidate).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            m_path = candidate;
            return true;
        }
        if (errno != EEXIST) {
            m_warning = cause.arg(folder, reason(errno));
            return false;
        }
    }
    m_warning = cause.arg(folder, reason(EEXIST));
    return false;
}

void RunLog::prune(const QString &folder) const
{
    struct Log
    {
        QString path;
        qint64 modifiedMs;
    };
    std::vector<Log> logs;
    const QString own = QFileInfo(m_path).fileName();
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName() != own && isLogName(entry.fileName()))
            logs.push_back({entry.filePath(), entry.lastModified().toMSecsSinceEpoch()});
    }
    std::sort(logs.begin(), logs.end(), [](const Log &a, const Log &b) {
        return a.modifiedMs != b.modifiedMs ? a.modifiedMs > b.modifiedMs : a.path > b.path;
    });
    const qint64 oldestKept = m_start.toMSecsSinceEpoch() - keptAgeMs;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        // The new log is one of the kept ones.
        if (i + 1 >= std::size_t(keptLogs) || logs[i].modifiedMs < oldestKept)
            QFile::remove(logs[i].path); // one left behind is retried next run
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
