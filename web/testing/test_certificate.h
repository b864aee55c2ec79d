// A throw-away self-signed certificate for the in-suite HTTPS server, made
// in memory with OpenSSL and written as PEM so a client can trust it as its
// certificate authority file.

#ifndef QUARRY_WEB_TESTING_TEST_CERTIFICATE_H_
#define QUARRY_WEB_TESTING_TEST_CERTIFICATE_H_

#include <string>

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace quarry::testing {

class TestCertificate {
 public:
  // An EC P-256 key and a certificate for `dns_name` and, when not empty,
  // the address `ip`, valid from an hour ago for a day; written to
  // `pem_path`. Aborts the test program when OpenSSL fails.
  TestCertificate(const std::string& dns_name, const std::string& ip, std::string pem_path);
  ~TestCertificate();
  TestCertificate(const TestCertificate&) = delete;
  TestCertificate& operator=(const TestCertificate&) = delete;

  X509* certificate() const { return certificate_; }
  EVP_PKEY* key() const { return key_; }
  const std::string& pem_path() const { return pem_path_; }

 private:
  X509* certificate_ = nullptr;
  EVP_PKEY* key_ = nullptr;
  std::string pem_path_;
};

}  // namespace quarry::testing

#endif  // QUARRY_WEB_TESTING_TEST_CERTIFICATE_H_
