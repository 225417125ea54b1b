// libFuzzer target: receipts as read back from disk. What parses must write
// out to a text that parses to the same receipt.
#include "helper/Receipt.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const helper::ParsedReceipt parsed = helper::parseReceipt(text);
    if (!parsed.ok) {
        if (parsed.problem.empty())
            std::abort();
        return 0;
    }
    const helper::ParsedReceipt again = helper::parseReceipt(helper::formatReceipt(parsed.receipt));
    if (!again.ok || !(again.receipt == parsed.receipt))
        std::abort();
    return 0;
}
