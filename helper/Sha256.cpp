#include "helper/Sha256.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace helper {

// libcrypto's digest uses the processor's SHA instructions where it has them,
// several times faster than portable code over the hundreds of megabytes an
// install may copy.
Sha256::Sha256() : m_context(EVP_MD_CTX_new())
{
    if (m_context)
        EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr);
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(m_context);
}

void Sha256::update(std::string_view bytes)
{
    if (m_context)
        EVP_DigestUpdate(m_context, bytes.data(), bytes.size());
}

std::string Sha256::hexDigest()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!m_context || EVP_DigestFinal_ex(m_context, digest, &length) != 1)
        return {};
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 0xf];
    }
    return hex;
}

bool digestOf(int fd, std::string &digest, std::string &problem)
{
    Sha256 hash;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            problem = std::strerror(errno);
            return false;
        }
        if (n == 0)
            break;
        hash.update(std::string_view(chunk, static_cast<std::size_t>(n)));
    }
    digest = hash.hexDigest();
    if (digest.empty())
        problem = "the digest could not be computed";
    return !digest.empty();
}

} // namespace helper
