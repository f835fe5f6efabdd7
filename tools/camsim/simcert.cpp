// The simulated camera's certificate: a P-256 key and a self-signed
// certificate for its loopback address, made at start as a camera makes its
// own on first boot. Its pin is worked out here from the DER form of the key
// rather than by the clients' code, so that the two cannot share a mistake.
#include "tools/camsim/simcert.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <vector>

namespace camsim {

namespace {

template <typename T, void (*F)(T*)>
struct Freer {
    void operator()(T* p) const { F(p); }
};
typedef std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free> > KeyPtr;
typedef std::unique_ptr<X509, Freer<X509, X509_free> > CertPtr;
typedef std::unique_ptr<BIO, Freer<BIO, BIO_free_all> > BioPtr;

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio, &data);
    return n > 0 ? std::string(data, (size_t)n) : std::string();
}

bool AddExt(X509* cert, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext) return false;
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

}  // namespace

bool MakeSimCert(const std::string& address, SimCert& out, std::string& error, const SimCert* issuer) {
    KeyPtr key(EVP_EC_gen("P-256"));
    CertPtr cert(X509_new());
    KeyPtr signKey;
    CertPtr signCert;
    if (issuer) {
        BioPtr k(BIO_new_mem_buf(issuer->keyPem.data(), (int)issuer->keyPem.size()));
        BioPtr c(BIO_new_mem_buf(issuer->certPem.data(), (int)issuer->certPem.size()));
        if (k) signKey.reset(PEM_read_bio_PrivateKey(k.get(), nullptr, nullptr, nullptr));
        if (c) signCert.reset(PEM_read_bio_X509(c.get(), nullptr, nullptr, nullptr));
        if (!signKey || !signCert) {
            error = "cannot read the issuer's key and certificate";
            return false;
        }
    }
    if (!key || !cert) {
        error = "cannot make a TLS key";
        return false;
    }
    unsigned char serial[16];
    RAND_bytes(serial, sizeof(serial));
    serial[0] &= 0x7f;
    BIGNUM* bn = BN_bin2bn(serial, sizeof(serial), nullptr);
    bool ok = bn && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get())) != nullptr;
    BN_free(bn);
    X509_NAME* name = X509_get_subject_name(cert.get());
    ok = ok && X509_set_version(cert.get(), 2) == 1 &&
         X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) != nullptr &&
         X509_gmtime_adj(X509_getm_notAfter(cert.get()), 30L * 86400) != nullptr &&
         X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                    reinterpret_cast<const unsigned char*>(issuer ? "camsim camera" : "camsim"), -1,
                                    -1, 0) == 1 &&
         X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(signCert.get()) : name) == 1 &&
         X509_set_pubkey(cert.get(), key.get()) == 1 &&
         AddExt(cert.get(), NID_basic_constraints, issuer ? "critical,CA:FALSE" : "critical,CA:TRUE") &&
         AddExt(cert.get(), NID_subject_alt_name, "IP:" + address + ",DNS:localhost") &&
         X509_sign(cert.get(), issuer ? signKey.get() : key.get(), EVP_sha256()) > 0;
    BioPtr keyBio(BIO_new(BIO_s_mem())), certBio(BIO_new(BIO_s_mem()));
    ok = ok && keyBio && certBio &&
         PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1 &&
         PEM_write_bio_X509(certBio.get(), cert.get()) == 1;
    unsigned char* der = nullptr;
    const int derLen = ok ? i2d_PUBKEY(key.get(), &der) : -1;
    unsigned char md[32];
    unsigned int mdLen = 0;
    ok = derLen > 0 && EVP_Digest(der, (size_t)derLen, md, &mdLen, EVP_sha256(), nullptr) == 1 && mdLen == 32;
    OPENSSL_free(der);
    if (!ok) {
        error = "cannot make a TLS certificate";
        return false;
    }
    unsigned char b64[64];
    EVP_EncodeBlock(b64, md, (int)mdLen);
    out.keyPem = BioText(keyBio.get());
    out.certPem = BioText(certBio.get());
    out.pin = std::string("sha256//") + reinterpret_cast<char*>(b64);
    return true;
}

}  // namespace camsim
