// A Qt generic plugin that ends a process at its first frame: loaded into any
// Qt program through QT_QPA_GENERIC_PLUGINS=quorvanticframeprobe, it watches
// every event, and once the event that painted a widget for the first time
// has been handled whole (painted and handed to the platform), writes the
// monotonic clock in milliseconds and the process's peak resident memory
// in kB to the file QUORVANTIC_FRAME_REPORT names, then exits at once.
// The program under test needs no change of its own.
#include <QFile>
#include <QGenericPlugin>
#include <QGuiApplication>

#include <ctime>
#include <unistd.h>

namespace {

class FrameProbe : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            m_seen = true;
            // Queued: it runs after the whole update that this paint is part of.
            QMetaObject::invokeMethod(this, &FrameProbe::report, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void report()
    {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const double ms =
            static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
        QByteArray peak = "0";
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : status.readAll().split('\n'))
                if (line.startsWith("VmHWM:"))
                    peak = line.mid(6).trimmed().split(' ').value(0);
        }
        QFile out(qEnvironmentVariable("QUORVANTIC_FRAME_REPORT"));
        if (out.open(QIODevice::WriteOnly))
            out.write(QByteArray::number(ms, 'f', 3) + ' ' + peak + '\n');
        out.close();
        ::_exit(0);
    }

    bool m_seen = false;
};

} // namespace

class FrameProbePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "FrameProbe.json")

public:
    QObject *create(const QString &, const QString &) override
    {
        auto *probe = new FrameProbe;
        QCoreApplication::instance()->installEventFilter(probe);
        return probe;
    }
};

#include "FrameProbe.moc"
