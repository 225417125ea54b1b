// libFuzzer target: the helper's wire format, read in both directions. What
// decodes must encode back to the very bytes it was read from.
#include "helper/FrameCodec.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void checkFrame(std::string_view bytes, frame::Direction direction)
{
    const frame::Decoded decoded = frame::decode(bytes, direction);
    switch (decoded.status) {
    case frame::DecodeStatus::complete:
        require(decoded.consumed >= frame::headerSize && decoded.consumed <= bytes.size());
        require(frame::encode(decoded.frame.type, decoded.frame.payload) ==
                bytes.substr(0, decoded.consumed));
        break;
    case frame::DecodeStatus::needMore:
        require(decoded.consumed == 0);
        break;
    case frame::DecodeStatus::malformed:
        require(!decoded.problem.empty());
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    checkFrame(bytes, frame::Direction::toHelper);
    checkFrame(bytes, frame::Direction::toSession);

    // A result payload: a decoded one encodes back to the same bytes.
    if (const auto result = frame::decodeResult(bytes))
        require(frame::encodeResult(*result) == bytes);
    return 0;
}
