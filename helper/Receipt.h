#pragma once

#include <string>
#include <string_view>
#include <vector>

// What one install left on disk for one product: each path its completed
// commands created or replaced, with enough to tell later whether it is still
// as installed (type, owner, mode, a file's SHA-256, a link's target).
//
// Stored as text, one record a line, fields separated by tabs; a tab, a line
// feed or a backslash inside a field is written \t, \n or \\. The last line
// is "end", so a receipt cut short is told from a whole one.
namespace helper {

struct ReceiptEntry
{
    enum class Kind
    {
        folder,
        file,
        link,
    };
    Kind kind = Kind::folder;
    std::string path;   // absolute; a folder's without a trailing "/"
    std::string target; // link: where it points; file: SHA-256 in hexadecimal
    unsigned owner = 0;
    unsigned group = 0;
    unsigned mode = 0; // permission bits; 0 for links

    bool operator==(const ReceiptEntry &) const = default;
};

struct Receipt
{
    std::string product;
    std::string version; // the installer's
    std::string bundle;  // the Products folder installed from
    std::string time;    // UTC, ISO 8601, of the last change
    std::string user;    // who ran it (system part) or whose data folder (user part)
    std::vector<ReceiptEntry> entries;

    bool operator==(const Receipt &) const = default;

    // The entry recorded for `path`, or null.
    const ReceiptEntry *find(std::string_view path) const;
    // Adds `entry`, replacing one recorded for the same path.
    void put(ReceiptEntry entry);
    // Forgets `path` and everything recorded below it; whether anything was.
    bool dropAt(std::string_view path);
};

std::string formatReceipt(const Receipt &receipt);

struct ParsedReceipt
{
    bool ok = false;
    Receipt receipt;
    std::string problem; // "line N: why", one line
};

ParsedReceipt parseReceipt(std::string_view text);

// The receipt's file name for a product: its name with ".receipt". Empty for a
// name that cannot be one file's name.
std::string receiptFileName(std::string_view product);

// "2026-12-08T05:10:44Z" for now.
std::string utcNow();

} // namespace helper
