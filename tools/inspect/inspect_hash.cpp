#include "inspect.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

std::string sha256OfRows(const unsigned char* first, size_t rowBytes, size_t pitch, size_t rows)
{
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!context || !EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr))
        return {};
    for (size_t y = 0; y < rows; ++y)
        EVP_DigestUpdate(context.get(), first + y * pitch, rowBytes);
    if (!EVP_DigestFinal_ex(context.get(), digest, &length))
        return {};
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}
