#include "helper/Sha256.h"

#include <openssl/evp.h>
#include <openssl/opensslv.h>

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace helper {

namespace {

#define QUORVANTIC_TEXT(x) #x
#define QUORVANTIC_SONAME(major) "libcrypto.so." QUORVANTIC_TEXT(major)

// libcrypto's digest uses the processor's SHA instructions where it has them,
// several times faster than portable code over the hundreds of megabytes an
// install may copy. The window loads it on its first digest rather than at
// every start, where its relocations alone cost a tenth of the time to the
// first frame; the helper executable links it, so there it is already loaded.
struct Crypto
{
    decltype(&EVP_MD_CTX_new) contextNew = nullptr;
    decltype(&EVP_MD_CTX_free) contextFree = nullptr;
    decltype(&EVP_sha256) sha256 = nullptr;
    decltype(&EVP_DigestInit_ex) init = nullptr;
    decltype(&EVP_DigestUpdate) update = nullptr;
    decltype(&EVP_DigestFinal_ex) final = nullptr;

    bool loaded() const { return contextNew && contextFree && sha256 && init && update && final; }
};

template <typename Function> void resolve(void *library, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(::dlsym(library, name));
}

// The library by the soname these headers belong to, found the way the
// loader finds a linked one; once per process.
const Crypto &crypto()
{
    static const Crypto loaded = [] {
        Crypto c;
        void *library = ::dlopen(QUORVANTIC_SONAME(OPENSSL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return c;
        resolve(library, "EVP_MD_CTX_new", c.contextNew);
        resolve(library, "EVP_MD_CTX_free", c.contextFree);
        resolve(library, "EVP_sha256", c.sha256);
        resolve(library, "EVP_DigestInit_ex", c.init);
        resolve(library, "EVP_DigestUpdate", c.update);
        resolve(library, "EVP_DigestFinal_ex", c.final);
        return c.loaded() ? c : Crypto();
    }();
    return loaded;
}

} // namespace

Sha256::Sha256() : m_context(crypto().loaded() ? crypto().contextNew() : nullptr)
{
    if (m_context && crypto().init(m_context, crypto().sha256(), nullptr) != 1) {
        crypto().contextFree(m_context);
        m_context = nullptr;
    }
}

Sha256::~Sha256()
{
    if (m_context)
        crypto().contextFree(m_context);
}

void Sha256::update(std::string_view bytes)
{
    if (m_context && crypto().update(m_context, bytes.data(), bytes.size()) != 1) {
        crypto().contextFree(m_context);
        m_context = nullptr;
    }
}

std::string Sha256::hexDigest()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!m_context || crypto().final(m_context, digest, &length) != 1)
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
        problem = crypto().loaded() ? "the digest could not be computed"
                                    : "the digest library " QUORVANTIC_SONAME(
                                          OPENSSL_VERSION_MAJOR) " could not be loaded";
    return !digest.empty();
}

} // namespace helper
