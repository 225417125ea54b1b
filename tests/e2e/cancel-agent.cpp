// A polkit authentication agent that dismisses every request, registered on
// the system bus for one process (the one whose id is its argument), so that
// pkexec started by that process is answered as if the user pressed Cancel.
// Prints "registered" once it is in place, then serves until terminated.
#include "../common/ProcStat.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QFile>

#include <cstdio>

namespace {

struct Subject
{
    QString kind;
    QVariantMap details;
};

QDBusArgument &operator<<(QDBusArgument &argument, const Subject &subject)
{
    argument.beginStructure();
    argument << subject.kind << subject.details;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Subject &subject)
{
    argument.beginStructure();
    argument >> subject.kind >> subject.details;
    argument.endStructure();
    return argument;
}

const char agentInterface[] = "org.freedesktop.PolicyKit1.AuthenticationAgent";

class CancellingAgent : public QDBusVirtualObject
{
public:
    QString introspect(const QString &) const override
    {
        return QStringLiteral("<interface name=\"%1\">"
                              "<method name=\"BeginAuthentication\"/>"
                              "<method name=\"CancelAuthentication\"/>"
                              "</interface>")
            .arg(agentInterface);
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() == QLatin1String("BeginAuthentication")) {
            std::fprintf(stderr, "cancel-agent: dismissing %s\n",
                         qPrintable(message.arguments().value(0).toString()));
            connection.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.PolicyKit1.Error.Cancelled"),
                QStringLiteral("The test agent dismissed the request.")));
            return true;
        }
        if (message.member() == QLatin1String("CancelAuthentication")) {
            connection.send(message.createReply());
            return true;
        }
        return false;
    }
};

// The kernel's start time of a process, which polkit uses to tell a process
// from a later one that got the same id.
quint64 startTime(quint32 pid)
{
    const QList<QByteArray> fields = procStatFields(pid);
    return fields.size() > 19 ? fields[19].toULongLong() : 0;
}

} // namespace

Q_DECLARE_METATYPE(Subject)

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = false;
    const quint32 pid = args.value(1).toUInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "usage: cancel-agent PID\n");
        return 2;
    }
    qDBusRegisterMetaType<Subject>();

    QDBusConnection bus = QDBusConnection::systemBus();
    const QString path = QStringLiteral("/org/quorvantic/CancellingAgent");
    CancellingAgent agent;
    if (!bus.isConnected() || !bus.registerVirtualObject(path, &agent)) {
        std::fprintf(stderr, "cancel-agent: no system bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }

    Subject subject{QStringLiteral("unix-process"),
                    {{QStringLiteral("pid"), QVariant::fromValue(pid)},
                     {QStringLiteral("start-time"), QVariant::fromValue(startTime(pid))}}};
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.PolicyKit1"),
                                       QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
                                       QStringLiteral("org.freedesktop.PolicyKit1.Authority"),
                                       QStringLiteral("RegisterAuthenticationAgent"));
    call << QVariant::fromValue(subject) << QStringLiteral("C") << path;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 20000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "cancel-agent: registering failed: %s\n",
                     qPrintable(reply.errorMessage()));
        return 1;
    }
    std::printf("registered\n");
    std::fflush(stdout);
    return app.exec();
}
