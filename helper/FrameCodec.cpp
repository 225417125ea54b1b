#include "helper/FrameCodec.h"

namespace frame {

namespace {

void appendUint32(std::string &out, std::uint32_t value)
{
    out.push_back(static_cast<char>((value >> 24) & 0xff));
    out.push_back(static_cast<char>((value >> 16) & 0xff));
    out.push_back(static_cast<char>((value >> 8) & 0xff));
    out.push_back(static_cast<char>(value & 0xff));
}

std::uint32_t readUint32(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    return value;
}

bool carries(Direction direction, char type)
{
    if (direction == Direction::toHelper)
        return type == static_cast<char>(Type::command) || type == static_cast<char>(Type::finish);
    return type == static_cast<char>(Type::hello) || type == static_cast<char>(Type::result) ||
           type == static_cast<char>(Type::error) || type == static_cast<char>(Type::notice);
}

} // namespace

std::string encode(Type type, std::string_view payload)
{
    std::string out;
    out.reserve(headerSize + payload.size());
    out.push_back(static_cast<char>(type));
    appendUint32(out, static_cast<std::uint32_t>(payload.size()));
    out.append(payload);
    return out;
}

Decoded decode(std::string_view buffer, Direction direction)
{
    Decoded decoded;
    if (buffer.empty())
        return decoded;
    if (!carries(direction, buffer[0])) {
        decoded.status = DecodeStatus::malformed;
        decoded.problem = "unexpected frame type";
        return decoded;
    }
    if (buffer.size() < headerSize)
        return decoded;
    const std::size_t length = readUint32(buffer.substr(1, 4));
    const std::size_t limit =
        direction == Direction::toHelper ? maxCommandPayload : maxReplyPayload;
    if (length > limit) {
        decoded.status = DecodeStatus::malformed;
        decoded.problem = "frame too large";
        return decoded;
    }
    if (buffer.size() - headerSize < length)
        return decoded;
    const std::string_view payload = buffer.substr(headerSize, length);
    if (buffer[0] == static_cast<char>(Type::command) &&
        payload.find('\0') != std::string_view::npos) {
        decoded.status = DecodeStatus::malformed;
        decoded.problem = "command holds a NUL byte";
        return decoded;
    }
    decoded.status = DecodeStatus::complete;
    decoded.frame = Frame{static_cast<Type>(buffer[0]), std::string(payload)};
    decoded.consumed = headerSize + length;
    return decoded;
}

std::string encodeResult(const CommandResult &result)
{
    std::string out;
    out.reserve(8 + result.standardOutput.size() + result.standardError.size());
    appendUint32(out, static_cast<std::uint32_t>(result.status));
    appendUint32(out, static_cast<std::uint32_t>(result.standardOutput.size()));
    out.append(result.standardOutput);
    out.append(result.standardError);
    return out;
}

std::optional<CommandResult> decodeResult(std::string_view payload)
{
    if (payload.size() < 8)
        return std::nullopt;
    const std::size_t outLength = readUint32(payload.substr(4, 4));
    if (payload.size() - 8 < outLength)
        return std::nullopt;
    CommandResult result;
    result.status = static_cast<std::int32_t>(readUint32(payload.substr(0, 4)));
    result.standardOutput = std::string(payload.substr(8, outLength));
    result.standardError = std::string(payload.substr(8 + outLength));
    return result;
}

} // namespace frame
