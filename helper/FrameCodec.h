#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The wire format between the privileged session and its helper. A frame is
// one type byte, a payload length as four bytes big-endian, and the payload.
// Standard library only, and pure, so both ends and a fuzzer share it.
namespace frame {

enum class Type : char
{
    hello = 'H',   // helper -> session, first frame: the protocol greeting
    command = 'C', // session -> helper: one install operation's command text, UTF-8
    result = 'R',  // helper -> session: a command's status and outputs
    error = 'E',   // helper -> session: a refusal; the helper exits after it
    // session -> helper: the run is over; "commit" keeps its changes, "rollback"
    // undoes them. Answered with a result. Input that ends without it undoes them.
    finish = 'F',
    // helper -> session, before a command's result: what the person running
    // the installer should be told (an earlier run was undone).
    notice = 'N',
};

inline constexpr std::size_t headerSize = 5;
// A command is a line of an install script. The limit is what one argument of a
// program may hold on Linux (less its terminating NUL), so any command that
// passes it could also run as `sh -c COMMAND` on the user's side.
inline constexpr std::size_t maxCommandPayload = (128u << 10) - 1;
// A reply is a status and at most a one-line reason; this bounds what a broken
// peer can make the session hold.
inline constexpr std::size_t maxReplyPayload = 1u << 20;
inline constexpr std::string_view helloText = "quorvantic-helper 3";
inline constexpr std::string_view commitText = "commit";
inline constexpr std::string_view rollbackText = "rollback";

struct Frame
{
    Type type;
    std::string payload;
};

enum class DecodeStatus
{
    complete,
    needMore,
    malformed
};

struct Decoded
{
    DecodeStatus status = DecodeStatus::needMore;
    Frame frame{Type::error, {}};
    std::size_t consumed = 0; // bytes of the buffer that the frame took
    std::string problem;      // why the bytes are malformed
};

// Which frame types a reader accepts, and how large each may be.
enum class Direction
{
    toHelper,
    toSession
};

std::string encode(Type type, std::string_view payload);

// Reads the first frame of `buffer`. A header that can never become a valid
// frame (unknown type, a type this direction never carries, a length beyond
// the limit) is malformed at once, without waiting for its payload.
Decoded decode(std::string_view buffer, Direction direction);

struct CommandResult
{
    int status = 0;
    std::string standardOutput;
    std::string standardError;
};

// A result payload: status (four bytes, big-endian, two's complement),
// standard output's length (four bytes), standard output, standard error.
std::string encodeResult(const CommandResult &result);
std::optional<CommandResult> decodeResult(std::string_view payload);

} // namespace frame
