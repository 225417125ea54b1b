#include "helper/Receipt.h"

#include "helper/SafePath.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace helper {

namespace {

constexpr std::string_view magic = "quorvantic-receipt 1";

void appendField(std::string &out, std::string_view field)
{
    out += '\t';
    for (char c : field) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
}

bool unescape(std::string_view field, std::string &out)
{
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field[i]) {
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> splitTabs(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t from = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', from);
        fields.push_back(line.substr(from, tab == std::string_view::npos ? tab : tab - from));
        if (tab == std::string_view::npos)
            return fields;
        from = tab + 1;
    }
}

bool number(std::string_view text, unsigned base, unsigned &value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

const char *kindName(ReceiptEntry::Kind kind)
{
    switch (kind) {
    case ReceiptEntry::Kind::folder:
        return "folder";
    case ReceiptEntry::Kind::file:
        return "file";
    case ReceiptEntry::Kind::link:
        return "link";
    }
    return "folder";
}

// One entry line's fields after the kind: path, owner, group, then the mode
// (folders and files) and the digest or the link's target.
std::string parseEntry(const std::vector<std::string> &f, ReceiptEntry &entry)
{
    if (f[0] == "folder")
        entry.kind = ReceiptEntry::Kind::folder;
    else if (f[0] == "file")
        entry.kind = ReceiptEntry::Kind::file;
    else if (f[0] == "link")
        entry.kind = ReceiptEntry::Kind::link;
    else
        return "unknown record \"" + f[0] + '"';
    const std::size_t expected = entry.kind == ReceiptEntry::Kind::folder ? 5 : 6;
    if (f.size() != expected)
        return "a " + f[0] + " record has " + std::to_string(expected) + " fields";
    const SplitPath path = splitPath(f[1], false);
    if (!path.ok || path.components.empty())
        return "not an absolute path: \"" + f[1] + '"';
    entry.path = f[1];
    if (!number(f[2], 10, entry.owner) || !number(f[3], 10, entry.group))
        return "owner and group must be numbers";
    if (entry.kind == ReceiptEntry::Kind::link) {
        entry.target = f[5];
        return f[4].empty() && !entry.target.empty() ? std::string() : "a link needs a target";
    }
    if (!number(f[4], 8, entry.mode) || entry.mode > 07777)
        return "not a file mode: \"" + f[4] + '"';
    if (entry.kind == ReceiptEntry::Kind::file) {
        entry.target = f[5];
        const bool hex = entry.target.size() == 64 &&
                         std::all_of(entry.target.begin(), entry.target.end(), [](char c) {
                             return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                         });
        if (!hex)
            return "not a SHA-256 digest: \"" + entry.target + '"';
    }
    return {};
}

std::string parseHeader(const std::vector<std::string> &f, Receipt &receipt)
{
    static const std::vector<std::pair<std::string_view, std::string Receipt::*>> headers = {
        {"product", &Receipt::product}, {"version", &Receipt::version},
        {"bundle", &Receipt::bundle},   {"time", &Receipt::time},
        {"user", &Receipt::user},
    };
    for (const auto &[name, field] : headers) {
        if (f[0] == name) {
            if (f.size() != 2)
                return "\"" + f[0] + "\" takes one field";
            receipt.*field = f[1];
            return {};
        }
    }
    return "?";
}

} // namespace

const ReceiptEntry *Receipt::find(std::string_view path) const
{
    for (const ReceiptEntry &entry : entries) {
        if (entry.path == path)
            return &entry;
    }
    return nullptr;
}

void Receipt::put(ReceiptEntry entry)
{
    for (ReceiptEntry &existing : entries) {
        if (existing.path == entry.path) {
            existing = std::move(entry);
            return;
        }
    }
    entries.push_back(std::move(entry));
}

bool Receipt::dropAt(std::string_view path)
{
    const std::size_t before = entries.size();
    std::erase_if(entries, [path](const ReceiptEntry &entry) {
        const std::string_view p = entry.path;
        return p == path || (p.size() > path.size() && p.substr(0, path.size()) == path &&
                             p[path.size()] == '/');
    });
    return entries.size() != before;
}

std::string formatReceipt(const Receipt &receipt)
{
    std::string out(magic);
    out += '\n';
    const std::pair<const char *, const std::string *> headers[] = {
        {"product", &receipt.product}, {"version", &receipt.version}, {"bundle", &receipt.bundle},
        {"time", &receipt.time},       {"user", &receipt.user},
    };
    for (const auto &[name, value] : headers) {
        out += name;
        appendField(out, *value);
        out += '\n';
    }
    for (const ReceiptEntry &entry : receipt.entries) {
        out += kindName(entry.kind);
        appendField(out, entry.path);
        appendField(out, std::to_string(entry.owner));
        appendField(out, std::to_string(entry.group));
        char mode[8] = {};
        std::snprintf(mode, sizeof mode, "%04o", entry.mode);
        appendField(out, entry.kind == ReceiptEntry::Kind::link ? "" : mode);
        if (entry.kind != ReceiptEntry::Kind::folder)
            appendField(out, entry.target);
        out += '\n';
    }
    out += "end\n";
    return out;
}

ParsedReceipt parseReceipt(std::string_view text)
{
    ParsedReceipt parsed;
    std::size_t from = 0;
    int lineNumber = 0;
    bool ended = false;
    auto fail = [&](const std::string &why) {
        parsed.problem = "line " + std::to_string(lineNumber) + ": " + why;
        return parsed;
    };
    while (from < text.size()) {
        const std::size_t newline = text.find('\n', from);
        if (newline == std::string_view::npos)
            return fail("the last line has no line feed");
        const std::string_view line = text.substr(from, newline - from);
        from = newline + 1;
        ++lineNumber;
        if (ended)
            return fail("text after \"end\"");
        if (lineNumber == 1) {
            if (line != magic)
                return fail("not a receipt");
            continue;
        }
        if (line == "end") {
            ended = true;
            continue;
        }
        std::vector<std::string> fields;
        for (std::string_view raw : splitTabs(line)) {
            if (!unescape(raw, fields.emplace_back()))
                return fail("a bad escape");
        }
        std::string problem = parseHeader(fields, parsed.receipt);
        if (problem == "?") {
            ReceiptEntry entry;
            problem = parseEntry(fields, entry);
            if (problem.empty())
                parsed.receipt.put(std::move(entry));
        }
        if (!problem.empty())
            return fail(problem);
    }
    if (lineNumber == 0)
        return fail("empty");
    if (!ended)
        return fail("cut short (no \"end\")");
    if (receiptFileName(parsed.receipt.product).empty())
        return fail("no usable product name");
    parsed.ok = true;
    return parsed;
}

std::string receiptFileName(std::string_view product)
{
    if (product.empty() || product == "." || product == ".." ||
        product.find('/') != std::string_view::npos || product.find('\0') != std::string_view::npos)
        return {};
    return std::string(product) + ".receipt";
}

std::string utcNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

} // namespace helper
