#include "helper/InstallOperations.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <cstdlib>
#include <ftw.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using namespace helper;

namespace {

// The temporary tree's root, for the tables' "@" placeholders.
std::string base;

// "@P" the Products folder, "@A" the app folder, "@L" a link folder,
// "@O" a folder outside every install folder, "@B" the tree's root; each
// without a trailing "/".
std::string expand(QString text)
{
    const QString b = QString::fromStdString(base);
    text.replace("@P", b + "/bundle/Products")
        .replace("@A", b + "/opt/Quorvantic")
        .replace("@L", b + "/share/Plug-Ins")
        .replace("@O", b + "/outside")
        .replace("@B", b);
    return text.toStdString();
}

void fail(const std::string &what)
{
    QFAIL(("setting up: " + what + ": " + std::strerror(errno)).c_str());
}

void makeFolder(const std::string &path, mode_t mode = 0755)
{
    if (::mkdir(path.c_str(), mode) != 0 || ::chmod(path.c_str(), mode) != 0)
        fail(path);
}

void makeFile(const std::string &path, const QByteArray &content, mode_t mode = 0644)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        fail(path);
    file.close();
    if (::chmod(path.c_str(), mode) != 0)
        fail(path);
}

void makeLink(const std::string &target, const std::string &path)
{
    if (::symlink(target.c_str(), path.c_str()) != 0)
        fail(path);
}

QByteArray contentOf(const std::string &path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

mode_t modeOf(const std::string &path)
{
    struct stat status = {};
    return ::lstat(path.c_str(), &status) == 0 ? status.st_mode : 0;
}

std::string linkTarget(const std::string &path)
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
}

QStringList *snapshotInto = nullptr;

int record(const char *path, const struct stat *status, int, FTW *)
{
    QString line = QString::fromUtf8(path).mid(static_cast<qsizetype>(base.size())) + ' ' +
                   QString::number(status->st_mode, 8) + ' ' + QString::number(status->st_uid);
    if (S_ISREG(status->st_mode))
        line += ' ' + QCryptographicHash::hash(contentOf(path), QCryptographicHash::Md5).toHex();
    else if (S_ISLNK(status->st_mode))
        line += " -> " + QString::fromStdString(linkTarget(path));
    snapshotInto->append(line);
    return 0;
}

// Every entry at or below `folder` (relative to the root; by default the whole
// tree) with its type, mode, owner and content, links unfollowed.
QStringList snapshot(const QString &folder = {})
{
    QStringList lines;
    snapshotInto = &lines;
    ::nftw(base.c_str(), record, 64, FTW_PHYS);
    lines.removeIf([&folder](const QString &line) {
        return !line.startsWith(folder + ' ') && !line.startsWith(folder + '/');
    });
    lines.sort();
    return lines;
}

OperationResult run(OperationKind kind, const std::string &first, const std::string &second = {})
{
    const InstallRoots roots{base + "/bundle/Products",
                             base + "/opt/Quorvantic/",
                             {base + "/share/Plug-Ins/", base + "/share/Video/"}};
    // Whatever the umask, modes come out exact; and a FIFO must never block:
    // the alarm ends the test instead of letting it hang.
    const mode_t umask = ::umask(077);
    ::alarm(30);
    OperationResult result = perform(Operation{kind, first, second}, roots);
    ::alarm(0);
    ::umask(umask);
    return result;
}

void makeSocket(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    QVERIFY(path.size() < sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
    ::close(fd);
}

// A product's element: files of several modes, nested folders, a set-user-ID
// program, a set-group-ID folder, an internal relative link and a large file.
void makeElement(const std::string &element)
{
    makeFolder(element);
    makeFolder(element + "/Contents");
    makeFile(element + "/Contents/Info.txt", "info");
    makeFile(element + "/Contents/secret.dat", "secret", 0640);
    makeFolder(element + "/Contents/MacOS", 0750);
    makeFile(element + "/Contents/MacOS/run", "#!/bin/sh\n", 04755);
    makeFolder(element + "/Contents/Shared", 02775);
    makeFolder(element + "/Contents/Resources");
    makeFolder(element + "/Contents/Resources/deep");
    makeFile(element + "/Contents/Resources/deep/leaf.txt", "leaf", 0600);
    QByteArray big(5 << 20, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 7919) >> 3);
    makeFile(element + "/Contents/Resources/big.bin", big);
    makeLink("Contents/Resources", element + "/Current");
}

const char *const elementSource = "@P/Prod/Elem";
const char *const module = "@A/X/velamorph4.module";

struct Refusal
{
    const char *name;
    OperationKind kind;
    const char *setup; // what prepare() adds to the tree first
    const char *first;
    const char *second;
    const char *message; // a part of the message, with the placeholders of expand()
};

using K = OperationKind;
const char *const notElement = "not an element of the bundle's products: ";
const char *const pathTxt = "@A/X/velamorph4.module/Path.txt";
const char *const notInApp = "not inside the app folder: ";
const char *const notPlugIns = "link is not inside a plug-in folder: ";
const char *const notInstall = "not inside an install folder: ";

const Refusal refusals[] = {
    {"copy: element is a link", K::copyElement, "element link", "@P/Prod/Linked", "@A/",
     "refusing to install a link: @P/Prod/Linked"},
    {"copy: product is a link", K::copyElement, "product link", "@P/Other/Elem", "@A/",
     "refusing to read through a link: @P/Other"},
    {"copy: FIFO", K::copyElement, "fifo", elementSource, "@A/",
     "@P/Prod/Elem/Contents/Resources/deep/pipe is a FIFO and cannot be installed"},
    {"copy: socket", K::copyElement, "socket", elementSource, "@A/",
     "@P/Prod/Elem/Contents/sock is a socket and cannot be installed"},
    {"copy: device node", K::copyElement, "device", elementSource, "@A/",
     "@P/Prod/Elem/null is a device node and cannot be installed"},
    {"copy: too deep", K::copyElement, "deep", elementSource, "@A/",
     "too deeply nested to install: @P/Prod/Elem/d/d"},
    {"copy: app folder through a user's link", K::copyElement, "app user link", elementSource,
     "@A/", "refusing to follow a link not owned by root: @B/opt"},
    {"copy: a product", K::copyElement, "", "@P/Prod", "@A/", "products: @P/Prod"},
    {"copy: below an element", K::copyElement, "", "@P/Prod/Elem/Contents", "@A/", notElement},
    {"copy: outside the products", K::copyElement, "", "@O/folder/x", "@A/", notElement},
    {"copy: dot-dot", K::copyElement, "", "@P/Prod/../../../outside", "@A/",
     "\"..\" component: @P/Prod/../../../outside"},
    {"copy: relative", K::copyElement, "", "Prod/Elem", "@A/", "not an absolute path: Prod/Elem"},
    {"copy: into a link folder", K::copyElement, "", elementSource, "@L/", "app folder: @L/"},
    {"copy: into a subfolder", K::copyElement, "", elementSource, "@A/Elem/", "not the app folder"},

    {"write: module folder is a link", K::writeText, "module link", "text\n", pathTxt,
     "refusing to write through a link: @A/X/velamorph4.module"},
    {"write: file is a link", K::writeText, "file link", "text\n", pathTxt,
     "refusing to write to @A/X/velamorph4.module/Path.txt: it is a symbolic link"},
    {"write: file is a FIFO", K::writeText, "path fifo", "text\n", pathTxt,
     "/Path.txt: it is a FIFO"},
    {"write: file is a folder", K::writeText, "path folder", "text\n", pathTxt,
     "/Path.txt: it is a folder"},
    {"write: parent is a file", K::writeText, "", "text\n", "@A/X/file/Path.txt",
     "not a folder: @A/X/file is a file"},
    {"write: outside", K::writeText, "", "text\n", "@O/Path.txt", "app folder: @O/Path.txt"},
    {"write: a link folder", K::writeText, "", "text\n", "@L/Path.txt", notInApp},
    {"write: the app folder", K::writeText, "", "text\n", "@A", notInApp},
    {"write: dot-dot", K::writeText, "", "text\n", "@A/../../outside/P", "\"..\" component"},
    {"write: trailing slash", K::writeText, "", "text\n", "@A/X/", "empty"},

    {"link: over a real folder", K::link, "", "@A/Elem", "@L/Folder",
     "cannot overwrite folder: @L/Folder"},
    {"link: through a link", K::link, "", "@A/Elem", "@L/Sub/Elem",
     "refusing to place a link through a link: @L/Sub"},
    {"link: target outside", K::link, "", "@O/folder", "@L/Elem",
     "link target is not inside the app folder: @O/folder"},
    {"link: target is the app folder", K::link, "", "@A", "@L/Elem", "link target is not inside"},
    {"link: outside", K::link, "", "@A/Elem", "@O/Elem", "plug-in folder: @O/Elem"},
    {"link: in the app folder", K::link, "", "@A/Elem", "@A/Elem2", notPlugIns},
    {"link: a link folder itself", K::link, "", "@A/Elem", "@L", notPlugIns},
    {"link: dot-dot", K::link, "", "@A/Elem", "@L/../../outside/x", "\"..\" component"},

    {"remove: through a link", K::remove, "", "@A/Link/keep.txt", "",
     "refusing to remove through a link: @A/Link"},
    {"remove: outside", K::remove, "", "@O/folder", "", "install folder: @O/folder"},
    {"remove: the products", K::remove, "", "@P/Prod", "", notInstall},
    {"remove: the app folder", K::remove, "", "@A", "", "install folder: @A"},
    {"remove: a link folder", K::remove, "", "@L", "", notInstall},
    {"remove: dot-dot", K::remove, "", "@A/../../outside", "", "\"..\" component"},
    {"remove: empty component", K::remove, "", "@A//X", "", "empty"},
    {"remove: relative", K::remove, "", "opt/Quorvantic/X", "", "not an absolute path"},

    {"mkdir: user's link on the way", K::makeFolder, "share user link", "@B/share/Video/", "",
     "refusing to follow a link not owned by root: @B/share"},
    {"mkdir: a file on the way", K::makeFolder, "share file", "@L/", "",
     "not a folder: @B/share is a file"},
    {"mkdir: below the app folder", K::makeFolder, "", "@A/Elem/", "",
     "not an install folder: @A/Elem/"},
    {"mkdir: dot-dot", K::makeFolder, "", "@A/..", "", "\"..\" component"},
    {"mkdir: outside", K::makeFolder, "", "@O/new/", "", "not an install folder"},
    {"mkdir: two trailing slashes", K::makeFolder, "", "@A//", "", "empty"},
};

// Moves `path` aside to `aside` and puts a link owned by another user in its place.
void replaceWithUsersLink(const std::string &path, const std::string &aside)
{
    QVERIFY(::rename(path.c_str(), aside.c_str()) == 0);
    makeLink(aside, path);
    QVERIFY(::lchown(path.c_str(), 65534, 65534) == 0);
}

// What every refusal starts from besides the element, then what its row adds.
void prepare(const std::string &setup)
{
    makeFolder(expand("@A/X"));
    makeFile(expand("@A/X/file"), "plain");
    makeLink(expand("@O/folder"), expand("@A/Link"));
    makeFolder(expand("@L/Folder"));
    makeFile(expand("@L/Folder/inside.txt"), "inside");
    makeLink(expand("@O/folder"), expand("@L/Sub"));
    const std::string element = expand(elementSource);
    if (setup == "element link") {
        makeLink(expand("@O/folder"), expand("@P/Prod/Linked"));
    } else if (setup == "product link") {
        makeFolder(expand("@O/product"));
        makeElement(expand("@O/product/Elem"));
        makeLink(expand("@O/product"), expand("@P/Other"));
    } else if (setup == "fifo") {
        QVERIFY(::mkfifo((element + "/Contents/Resources/deep/pipe").c_str(), 0644) == 0);
    } else if (setup == "socket") {
        makeSocket(element + "/Contents/sock");
    } else if (setup == "device") {
        QVERIFY(::mknod((element + "/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0);
    } else if (setup == "deep") {
        std::string path = element;
        for (int i = 0; i < 130; ++i)
            makeFolder(path += "/d");
    } else if (setup == "app user link") {
        replaceWithUsersLink(base + "/opt", expand("@O/opt"));
    } else if (setup == "share user link") {
        makeFolder(expand("@O/elsewhere"));
        replaceWithUsersLink(base + "/share", expand("@O/elsewhere/share"));
        QVERIFY(::rmdir(expand("@O/elsewhere/share/Video").c_str()) == 0);
    } else if (setup == "share file") {
        QVERIFY(::rename((base + "/share").c_str(), (base + "/share-old").c_str()) == 0);
        makeFile(base + "/share", "a file");
    } else if (setup == "module link") {
        makeLink(expand("@O/folder"), expand(module));
    } else if (!setup.empty()) {
        makeFolder(expand(module));
        const std::string file = expand(pathTxt);
        if (setup == "file link")
            makeLink(expand("@O/target.txt"), file);
        else if (setup == "path fifo")
            QVERIFY(::mkfifo(file.c_str(), 0644) == 0);
        else if (setup == "path folder")
            makeFolder(file);
    }
}

} // namespace

class TestInstallOperations : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/qv-operations-XXXXXX"));
        QVERIFY(m_dir->isValid());
        char resolved[PATH_MAX];
        QVERIFY(::realpath(m_dir->path().toUtf8().constData(), resolved));
        base = resolved;
        for (const char *folder :
             {"/bundle", "/bundle/Products", "/bundle/Products/Prod", "/opt", "/opt/Quorvantic",
              "/share", "/share/Plug-Ins", "/share/Video", "/outside", "/outside/folder"})
            makeFolder(base + folder);
        makeFile(base + "/outside/folder/keep.txt", "keep");
        makeFile(base + "/outside/target.txt", "outside");
        makeElement(expand(elementSource));
    }
    void cleanup() { m_dir.reset(); }

    void copiesAnElement()
    {
        const OperationResult result =
            run(OperationKind::copyElement, expand(elementSource), expand("@A/"));
        QVERIFY2(result.ok, result.message.c_str());
        const std::string from = expand(elementSource);
        const std::string to = expand("@A/Elem");
        for (const char *file :
             {"/Contents/Info.txt", "/Contents/secret.dat", "/Contents/MacOS/run",
              "/Contents/Resources/deep/leaf.txt", "/Contents/Resources/big.bin"})
            QCOMPARE(contentOf(to + file), contentOf(from + file));
        QCOMPARE(modeOf(to), mode_t(S_IFDIR | 0755));
        QCOMPARE(modeOf(to + "/Contents/Info.txt"), mode_t(S_IFREG | 0644));
        QCOMPARE(modeOf(to + "/Contents/secret.dat"), mode_t(S_IFREG | 0640));
        QCOMPARE(modeOf(to + "/Contents/MacOS"), mode_t(S_IFDIR | 0750));
        QCOMPARE(modeOf(to + "/Contents/MacOS/run"), mode_t(S_IFREG | 0755));
        QCOMPARE(modeOf(to + "/Contents/Shared"), mode_t(S_IFDIR | 0755));
        QCOMPARE(modeOf(to + "/Contents/Resources/deep/leaf.txt"), mode_t(S_IFREG | 0600));
        QVERIFY(S_ISLNK(modeOf(to + "/Current")));
        QCOMPARE(linkTarget(to + "/Current"), std::string("Contents/Resources"));
        // No temporary file is left behind.
        QCOMPARE(snapshot().filter("/.quorvantic-").size(), 0);
    }

    // A copy asked to stop ends between two files, says so, and copies no
    // file after that.
    void aStoppedCopyEndsBetweenFiles()
    {
        const InstallRoots roots{base + "/bundle/Products",
                                 base + "/opt/Quorvantic/",
                                 {base + "/share/Plug-Ins/", base + "/share/Video/"}};
        int asked = 0;
        const OperationResult result =
            perform(Operation{OperationKind::copyElement, expand(elementSource), expand("@A/")},
                    roots, [&asked] { return ++asked > 2; });
        QVERIFY(!result.ok);
        QVERIFY2(result.message.find("the install was stopped before ") == 0,
                 result.message.c_str());
        QCOMPARE(asked, 3);
        // Two files copied, no third, no temporary file left.
        const QStringList copied = snapshot(QStringLiteral("/opt/Quorvantic/Elem"));
        const auto files = std::count_if(copied.begin(), copied.end(), [](const QString &line) {
            return line.section(' ', 1, 1).startsWith("100"); // S_IFREG
        });
        QCOMPARE(files, 2);
        QCOMPARE(snapshot().filter("/.quorvantic-").size(), 0);
    }

    // A second copy merges: files replaced, folders reused, the installed
    // folder's own extra files kept, and wrong-type entries replaced, not followed.
    void mergesIntoAnEarlierCopy()
    {
        const std::string from = expand(elementSource);
        const std::string to = expand("@A/Elem");
        QVERIFY(run(OperationKind::copyElement, from, expand("@A/")).ok);
        makeFile(from + "/Contents/Info.txt", "new info");
        makeFile(from + "/Contents/added.txt", "added");
        makeFile(to + "/Contents/local.txt", "local");
        QVERIFY(::unlink((to + "/Contents/Info.txt").c_str()) == 0);
        makeLink(expand("@O/target.txt"), to + "/Contents/Info.txt");
        QCOMPARE(run(OperationKind::remove, to + "/Contents/Resources").ok, true);
        makeLink(expand("@O/folder"), to + "/Contents/Resources");
        QVERIFY(::unlink((to + "/Current").c_str()) == 0);
        makeFolder(to + "/Current");
        makeFile(to + "/Current/old.txt", "old");
        const QStringList outside = snapshot("/outside");

        const OperationResult result = run(OperationKind::copyElement, from, expand("@A"));
        QVERIFY2(result.ok, result.message.c_str());
        QCOMPARE(contentOf(to + "/Contents/Info.txt"), QByteArray("new info"));
        QVERIFY(S_ISREG(modeOf(to + "/Contents/Info.txt")));
        QCOMPARE(contentOf(to + "/Contents/added.txt"), QByteArray("added"));
        QCOMPARE(contentOf(to + "/Contents/local.txt"), QByteArray("local"));
        QVERIFY(S_ISDIR(modeOf(to + "/Contents/Resources")));
        QCOMPARE(contentOf(to + "/Contents/Resources/deep/leaf.txt"), QByteArray("leaf"));
        QCOMPARE(linkTarget(to + "/Current"), std::string("Contents/Resources"));
        QCOMPARE(snapshot("/outside"), outside);
    }

    void writesText()
    {
        const std::string file = expand("@A/Elem/Path.txt");
        makeFolder(expand("@A/Elem"));
        OperationResult result = run(OperationKind::writeText, "first\n", file);
        QVERIFY2(result.ok, result.message.c_str());
        QCOMPARE(contentOf(file), QByteArray("first\n"));
        QCOMPARE(modeOf(file), mode_t(S_IFREG | 0644));
        QVERIFY(::chmod(file.c_str(), 0600) == 0);
        result = run(OperationKind::writeText, "/opt/Quorvantic/Elem\n", file);
        QVERIFY2(result.ok, result.message.c_str());
        QCOMPARE(contentOf(file), QByteArray("/opt/Quorvantic/Elem\n"));
        QCOMPARE(modeOf(file), mode_t(S_IFREG | 0644));
    }

    void linksAndReplacesLinks()
    {
        const std::string link = expand("@L/Elem");
        OperationResult result = run(OperationKind::link, expand("@A/Elem"), link);
        QVERIFY2(result.ok, result.message.c_str());
        QCOMPARE(linkTarget(link), expand("@A/Elem"));
        result = run(OperationKind::link, expand("@A/Elem 2"), link);
        QVERIFY2(result.ok, result.message.c_str());
        QCOMPARE(linkTarget(link), expand("@A/Elem 2"));
        makeFile(expand("@L/File"), "file");
        QVERIFY(run(OperationKind::link, expand("@A/Elem"), expand("@L/File")).ok);
        QCOMPARE(linkTarget(expand("@L/File")), expand("@A/Elem"));
        QCOMPARE(snapshot().filter("/.quorvantic-").size(), 0);
    }

    // A link is removed itself; a folder goes with its contents, but the links
    // inside it are not followed out of it.
    void removesWithoutFollowingLinks()
    {
        QVERIFY(run(OperationKind::copyElement, expand(elementSource), expand("@A/")).ok);
        makeLink(expand("@O/folder"), expand("@A/Elem/Contents/Outside"));
        makeLink(expand("@O/folder"), expand("@L/Elem"));
        const QStringList outside = snapshot("/outside");

        OperationResult result = run(OperationKind::remove, expand("@L/Elem"));
        QVERIFY2(result.ok, result.message.c_str());
        QCOMPARE(modeOf(expand("@L/Elem")), mode_t(0));
        result = run(OperationKind::remove, expand("@A/Elem"));
        QVERIFY2(result.ok, result.message.c_str());
        QCOMPARE(modeOf(expand("@A/Elem")), mode_t(0));
        QCOMPARE(snapshot("/outside"), outside);
        QVERIFY(S_ISDIR(modeOf(expand("@A"))));
        // Nothing there, or not even the folder that would hold it: done already.
        QVERIFY(run(OperationKind::remove, expand("@A/Elem")).ok);
        QVERIFY(run(OperationKind::remove, expand("@A/Missing/Elem")).ok);
    }

    void makesFolders()
    {
        QVERIFY(::rmdir(expand("@A").c_str()) == 0 && ::rmdir((base + "/opt").c_str()) == 0);
        OperationResult result = run(OperationKind::makeFolder, expand("@A/"));
        QVERIFY2(result.ok, result.message.c_str());
        QCOMPARE(modeOf(base + "/opt"), mode_t(S_IFDIR | 0755));
        QCOMPARE(modeOf(expand("@A")), mode_t(S_IFDIR | 0755));
        QVERIFY(run(OperationKind::makeFolder, expand("@A")).ok);
        if (::geteuid() != 0)
            QSKIP("a link owned by root needs root");
        // Through a link root made, to where it points.
        QVERIFY(::rename((base + "/share").c_str(), (base + "/real-share").c_str()) == 0);
        makeLink("real-share", base + "/share");
        QVERIFY(::lchown((base + "/share").c_str(), 0, 0) == 0);
        QVERIFY(::rmdir((base + "/real-share/Video").c_str()) == 0);
        result = run(OperationKind::makeFolder, base + "/share/Video/");
        QVERIFY2(result.ok, result.message.c_str());
        QVERIFY(S_ISDIR(modeOf(base + "/real-share/Video")));
    }

    // Each refusal names what it refused, and leaves every entry of the tree,
    // inside the install folders or out, as it was.
    void refuses_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("message");
        for (const Refusal &row : refusals)
            QTest::newRow(row.name)
                << int(row.kind) << row.setup << row.first << row.second << row.message;
    }
    void refuses()
    {
        QFETCH(int, kind);
        QFETCH(QString, setup);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, message);
        if (::geteuid() != 0 && (setup == "device" || setup.contains("user link")))
            QSKIP("a device node or a link of another user needs root");
        prepare(setup.toStdString());
        const QStringList before = snapshot();
        const OperationResult result = run(OperationKind(kind), expand(first), expand(second));
        QVERIFY(!result.ok);
        QVERIFY2(result.message.find(expand(message)) != std::string::npos, result.message.c_str());
        QCOMPARE(snapshot(), before);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestInstallOperations)
#include "tst_installoperations.moc"
