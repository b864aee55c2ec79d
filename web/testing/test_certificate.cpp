#include "web/testing/test_certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>

namespace quarry::testing {

namespace {

[[noreturn]] void Die(const char* what) {
  std::fprintf(stderr, "test certificate: %s failed\n", what);
  std::abort();
}

void AddExtension(X509* certificate, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  if (extension == nullptr) Die("X509V3_EXT_conf_nid");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

}  // namespace

TestCertificate::TestCertificate(const std::string& dns_name, const std::string& ip,
                                 std::string pem_path)
    : pem_path_(std::move(pem_path)) {
  key_ = EVP_EC_gen("P-256");
  if (key_ == nullptr) Die("EVP_EC_gen");
  certificate_ = X509_new();
  if (certificate_ == nullptr) Die("X509_new");
  X509_set_version(certificate_, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate_), 1);
  X509_gmtime_adj(X509_getm_notBefore(certificate_), -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate_), 86400);
  X509_set_pubkey(certificate_, key_);
  X509_NAME* name = X509_get_subject_name(certificate_);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(dns_name.c_str()), -1, -1, 0);
  X509_set_issuer_name(certificate_, name);
  std::string names = "DNS:" + dns_name;
  if (!ip.empty()) names += ",IP:" + ip;
  AddExtension(certificate_, NID_subject_alt_name, names);
  AddExtension(certificate_, NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(certificate_, NID_key_usage, "critical,digitalSignature,keyCertSign");
  if (X509_sign(certificate_, key_, EVP_sha256()) == 0) Die("X509_sign");
  FILE* file = std::fopen(pem_path_.c_str(), "w");
  if (file == nullptr) Die("fopen");
  PEM_write_X509(file, certificate_);
  std::fclose(file);
}

TestCertificate::~TestCertificate() {
  X509_free(certificate_);
  EVP_PKEY_free(key_);
}

}  // namespace quarry::testing
