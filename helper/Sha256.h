#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// SHA-256, for the digests receipts keep of installed files. The helper links
// nothing but the C library, so it carries its own.
namespace helper {

class Sha256
{
public:
    Sha256();
    void update(std::string_view bytes);
    // The digest as 64 lower-case hexadecimal digits; the object is spent after.
    std::string hexDigest();

private:
    void block(const unsigned char *data);

    std::array<std::uint32_t, 8> m_state{};
    std::array<unsigned char, 64> m_buffer{};
    std::size_t m_buffered = 0;
    std::uint64_t m_length = 0;
};

// The digest of what is left to read from `fd`; false with `problem` set when
// reading fails.
bool digestOf(int fd, std::string &digest, std::string &problem);

} // namespace helper
