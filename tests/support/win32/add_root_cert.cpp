// Puts a certificate into the machine's "Root" store, so that the system
// trusts what it signs: how tests make their own CA known to a private prefix.
//   add_root_cert <certificate file, PEM or DER>
// Exit 0 when the store holds it, 1 when the file cannot be read or decoded,
// 2 when the store refuses; the platform's error code goes to standard error.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// DER as it is, or the first PEM block decoded.
bool Decode(const std::string& file, std::vector<BYTE>& der) {
    if (file.rfind("-----BEGIN", 0) != 0) {
        der.assign(file.begin(), file.end());
        return !der.empty();
    }
    DWORD size = 0;
    const DWORD length = static_cast<DWORD>(file.size());
    if (!CryptStringToBinaryA(file.data(), length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
        return false;
    }
    der.resize(size);
    return CryptStringToBinaryA(file.data(), length, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                                nullptr) != FALSE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: add_root_cert <certificate file, PEM or DER>\n");
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "add_root_cert: cannot open the file\n");
        return 1;
    }
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<BYTE> der;
    if (!Decode(file, der)) {
        std::fprintf(stderr, "add_root_cert: not a certificate, error %lu\n", GetLastError());
        return 1;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store == nullptr) {
        std::fprintf(stderr, "add_root_cert: cannot open the Root store, error %lu\n", GetLastError());
        return 2;
    }
    const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(),
                                                        static_cast<DWORD>(der.size()),
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    const DWORD error = added ? 0 : GetLastError();
    CertCloseStore(store, 0);
    if (!added) {
        std::fprintf(stderr, "add_root_cert: the Root store refused it, error %lu\n", error);
        return 2;
    }
    return 0;
}
