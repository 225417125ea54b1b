#pragma once

#include <string>
#include <string_view>

struct evp_md_ctx_st;

// SHA-256, for the digests receipts keep of installed files.
namespace helper {

class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void update(std::string_view bytes);
    // The digest as 64 lower-case hexadecimal digits (empty should the
    // library fail); the object is spent after.
    std::string hexDigest();

private:
    evp_md_ctx_st *m_context;
};

// The digest of what is left to read from `fd`; false with `problem` set when
// reading fails.
bool digestOf(int fd, std::string &digest, std::string &problem);

} // namespace helper
