#include "engine/InstallScriptComposer.h"

#include "engine/ProductNames.h"
#include "script/ScriptAnswer.h"

#include <cstdint>
#include <sys/mman.h>

namespace {

// A script of megabytes is written into fresh memory, page after page, and
// each first touch of a small page costs a fault; large pages take one fault
// per 2 MiB. A hint only: where the kernel has none, nothing changes.
void preferLargePages(void *start, std::size_t size)
{
    constexpr std::uintptr_t large = std::uintptr_t(2) << 20;
    const auto from = (reinterpret_cast<std::uintptr_t>(start) + large - 1) & ~(large - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(start) + size) & ~(large - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
}

const QString lightroomPresetIdV3 = QStringLiteral("6C2E8F14-A7B3-4D59-9E0C-71F2A4B6C8D3");
const QString lightroomPresetIdV4 = QStringLiteral("3D5B7E21-9C4A-4F6E-8A1B-2C3D4E5F6071");

// Appends `text` with a backslash before every character `special` picks,
// the runs between them in one piece each.
template <typename Special> void appendEscaped(QString &out, QStringView text, Special special)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (special(text[i].unicode())) {
            out.append(text.sliced(from, i - from));
            out.append(QLatin1Char('\\'));
            from = i;
        }
    }
    out.append(text.sliced(from));
}

// `operand` in double quotes, for the shell to take as one word, verbatim.
void appendShellQuoted(QString &out, QStringView operand)
{
    out += QLatin1Char('"');
    appendEscaped(out, operand,
                  [](char16_t c) { return c == '\\' || c == '"' || c == '$' || c == '`'; });
    out += QLatin1Char('"');
}

// Both of the above at once, straight into the script: the operand quoted for
// the shell and that quoted again for the script's string literal. A
// character the shell would read (a backslash, " $ or `) gets the shell's
// backslash, and that backslash and a backslash or " get the literal's.
void appendQuotedInLiteral(QString &out, QStringView operand)
{
    out += u"\\\"";
    qsizetype from = 0;
    for (qsizetype i = 0; i < operand.size(); ++i) {
        const char16_t c = operand[i].unicode();
        if (c == '\\' || c == '"' || c == '$' || c == '`') {
            out.append(operand.sliced(from, i - from));
            out += (c == '\\' || c == '"') ? QStringView(u"\\\\\\") : QStringView(u"\\\\");
            from = i;
        }
    }
    out.append(operand.sliced(from));
    out += u"\\\"";
}

// Text for the string literal as it is (a command's own words).
void appendInLiteral(QString &out, QStringView text)
{
    appendEscaped(out, text, [](char16_t c) { return c == '\\' || c == '"'; });
}

// "product/element": the part of an element's path that the bundle itself
// names. Which kind an element is comes from here, never from the folders the
// bundle happens to be saved in ("Lightroom exports/...").
QString productAndElement(const QString &path)
{
    const qsizetype elementSlash = path.lastIndexOf(QLatin1Char('/'));
    if (elementSlash <= 0)
        return path;
    const qsizetype productSlash = path.lastIndexOf(QLatin1Char('/'), elementSlash - 1);
    return path.mid(productSlash + 1);
}

enum class RunAs
{
    administrator,
    user,
};

class Composer
{
public:
    Composer(const InstallLocations &locations, ShellDialect dialect)
        : m_loc(locations), m_dialect(dialect)
    {}

    QString script(const QStringList &elements)
    {
        // The script is written once, in place: with thousands of elements it
        // runs to megabytes, and every copy or regrowth of it touches fresh
        // memory, which costs more than composing it.
        m_body.reserve(estimatedSize(elements));
        preferLargePages(m_body.data(), std::size_t(m_body.capacity()) * sizeof(QChar));
        m_body += QStringLiteral("try\n");
        makeFolder(m_loc.app);
        for (const QString &listed : elements) {
            // A listed folder may carry one trailing "/"; the element never does.
            QString path = listed;
            if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
                path.chop(1);
            const QString name = ProductNames::nameOf(path);
            const QString kind = productAndElement(path);
            if (kind.contains(QLatin1String("Lightroom")))
                lightroomBlock(path, name, kind);
            else if (kind.contains(QLatin1String("Video Plugin")))
                videoBlock(path, name);
            else
                pluginBlock(path, name);
        }
        InstallScriptComposer::appendEnding(m_body);
        return std::move(m_body);
    }

private:
    // At least the script's length: a photo-host element's block, the
    // longest, is about 900 characters of its own plus its names and the
    // locations a dozen times over. Reserved but unwritten memory costs nothing.
    qsizetype estimatedSize(const QStringList &elements) const
    {
        const qsizetype locations =
            m_loc.app.size() + m_loc.supp.size() + m_loc.video.size() + m_loc.lr.size();
        qsizetype size = 256 + locations;
        for (const QString &element : elements)
            size += 1024 + 4 * element.size() + 4 * locations;
        return size;
    }

    void pluginBlock(const QString &path, const QString &name)
    {
        if (m_firstPlugin) {
            makeFolder(m_loc.supp);
            m_firstPlugin = false;
        }
        copy(path, m_loc.app);
        link(m_loc.app + name, m_loc.supp + name);
    }

    void videoBlock(const QString &path, const QString &name)
    {
        if (m_firstVideo) {
            makeFolder(m_loc.video);
            m_firstVideo = false;
        }
        const QString n = name.contains(QLatin1Char('2')) ? QStringLiteral("2") : QString();
        copy(path, m_loc.app);
        remove(m_loc.video + QStringLiteral("Ambrelux") + n + QStringLiteral(".plugin"));
        remove(m_loc.video + QStringLiteral("Velamorph") + n + QStringLiteral(".plugin"));
        link(m_loc.app + name, m_loc.video + name);
    }

    void lightroomBlock(const QString &path, const QString &name, const QString &kind)
    {
        const bool v3 = kind.contains(QLatin1String("Velamorph 3"));
        const QString v = v3 ? QStringLiteral("3") : QStringLiteral("4");
        const QString &id = v3 ? lightroomPresetIdV3 : lightroomPresetIdV4;
        const QString installed = m_loc.app + name;
        const QString presetName = QStringLiteral("Quorvantic Velamorph ") + v;
        const QString editorPresets =
            m_loc.lr + QStringLiteral("External Editor Presets/Quorvantic/");
        const QString exportPresets =
            m_loc.lr + QStringLiteral("Export Presets/") + presetName + '/';
        const QString modules = m_loc.lr + QStringLiteral("Modules/");
        const QString module =
            installed + QStringLiteral("/velamorph") + v + QStringLiteral(".lrdevplugin");

        remove(installed);
        copy(path, m_loc.app);
        makeFolder(editorPresets, RunAs::user);
        makeFolder(exportPresets, RunAs::user);
        // BSD cp copies the contents of "dir/"; GNU needs "dir/." for the same.
        const QString presetSource =
            installed + '/' + presetName +
            (m_dialect == ShellDialect::gnu ? QStringLiteral("/.") : QStringLiteral("/"));
        copy(presetSource, exportPresets, RunAs::user);
        makeFolder(modules, RunAs::user);
        link(module, modules, RunAs::user);
        writeText(installed, module + QStringLiteral("/Path.txt"), 2, RunAs::administrator);
        const QString preset =
            QStringLiteral("s = {id = \"%1\",internalName = \"%2\",title = \"%2\","
                           "type = \"ExternalEditor\",value = {\n"
                           "externalEditingFormat = \"TIFF_None_16_ProPhotoRGB\","
                           "externalEditingFormat_dpi = 240,externalEditorFullPath = \"%3\",\n"
                           "},version = 0,}")
                .arg(id, presetName,
                     installed + QStringLiteral("/Velamorph") + v + QStringLiteral(".app"));
        writeText(preset, editorPresets + presetName + QStringLiteral(".lrtemplate"), 1,
                  RunAs::user);
        giveToUser(editorPresets);
        giveToUser(exportPresets);
        giveToUser(modules);
    }

    void makeFolder(const QString &folder, RunAs runAs = RunAs::administrator)
    {
        start(u"mkdir -p ");
        quoted(folder);
        end(1, runAs);
    }

    void copy(const QString &source, const QString &destination, RunAs runAs = RunAs::administrator)
    {
        start(u"cp -R -f ");
        quoted(source);
        m_body += QLatin1Char(' ');
        quoted(destination);
        end(1, runAs);
    }

    void remove(const QString &path)
    {
        start(u"rm -R -f ");
        quoted(path);
        end(1, RunAs::administrator);
    }

    void link(const QString &target, const QString &link, RunAs runAs = RunAs::administrator)
    {
        start(m_dialect == ShellDialect::gnu ? u"ln -f -n -s " : u"ln -f -h -s ");
        quoted(target);
        m_body += QLatin1Char(' ');
        quoted(link);
        end(2, runAs);
    }

    // Writes the text and a line feed. The shell's `echo` may read backslash
    // sequences in its operand (dash does), so text holding a backslash is
    // written through printf's "%s", which takes it verbatim.
    void writeText(const QString &text, const QString &file, int gap, RunAs runAs)
    {
        start(text.contains(QLatin1Char('\\')) ? u"printf '%s\\n' " : u"echo ");
        quoted(text);
        m_body += u" > ";
        quoted(file);
        end(gap, runAs);
    }

    // Runs as the user: the folders are the user's own already.
    void giveToUser(const QString &folder)
    {
        start(u"chown -R $USER ");
        quoted(folder);
        end(1, RunAs::user);
    }

    // Each command is written straight into the script, quoted for the shell
    // and for the string literal in one pass: thousands of lines would
    // otherwise be built apart and copied over, every character read twice.
    // The lines are those InstallScriptComposer::appendLine writes.
    void start(QStringView verb)
    {
        m_body += u"do shell script \"";
        appendInLiteral(m_body, verb);
    }
    void quoted(QStringView operand) { appendQuotedInLiteral(m_body, operand); }
    void end(int gap, RunAs runAs)
    {
        m_body += QLatin1Char('"');
        if (runAs == RunAs::administrator) {
            for (int i = 0; i < gap; ++i)
                m_body += QLatin1Char(' ');
            m_body += u"with administrator privileges";
        }
        m_body += QLatin1Char('\n');
    }

    const InstallLocations &m_loc;
    const ShellDialect m_dialect;
    QString m_body;
    bool m_firstPlugin = true;
    bool m_firstVideo = true;
};

} // namespace

QString InstallScriptComposer::shellQuoted(const QString &operand)
{
    QString quoted;
    quoted.reserve(operand.size() + 8);
    appendShellQuoted(quoted, operand);
    return quoted;
}

void InstallScriptComposer::appendLine(QString &script, const QString &shellCommand,
                                       bool administrator, int gap)
{
    // UTF-16 literals: a Latin-1 one is converted on every append, and this
    // runs for every line of a script of millions of characters.
    script += u"do shell script \"";
    appendEscaped(script, shellCommand, [](char16_t c) { return c == '\\' || c == '"'; });
    script += QLatin1Char('"');
    if (administrator) {
        for (int i = 0; i < gap; ++i)
            script += QLatin1Char(' ');
        script += u"with administrator privileges";
    }
    script += QLatin1Char('\n');
}

void InstallScriptComposer::appendEnding(QString &script)
{
    script += QStringLiteral("\non error errMsg\nreturn errMsg\nend try\nreturn \"");
    script += ScriptAnswer::ok;
    script += QLatin1Char('"');
}

QString InstallScriptComposer::compose(const QStringList &elements,
                                       const InstallLocations &locations, ShellDialect dialect)
{
    return Composer(locations, dialect).script(elements);
}
