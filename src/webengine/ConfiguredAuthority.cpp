// Verifying a page's certificate chain against the configured authority, with OpenSSL: Qt's
// own verification only knows the process-wide authorities.
#include "webengine/ConfiguredAuthority.h"

#include "core/BuildConfig.h"

#include <QByteArray>
#include <QHostAddress>
#include <QUrl>

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

namespace webengine {
namespace {

struct X509Free
{
    void operator()(X509 *x) const { X509_free(x); }
};
using X509Ptr = std::unique_ptr<X509, X509Free>;

X509Ptr toX509(const QSslCertificate &certificate)
{
    const QByteArray der = certificate.toDer();
    const auto *data = reinterpret_cast<const unsigned char *>(der.constData());
    return X509Ptr(der.isEmpty() ? nullptr : d2i_X509(nullptr, &data, der.size()));
}

} // namespace

bool chainVerifiesTo(const QList<QSslCertificate> &chain, const QList<QSslCertificate> &authorities,
                     const QString &host)
{
    if (chain.isEmpty() || authorities.isEmpty() || host.isEmpty())
        return false;
    const std::unique_ptr<X509_STORE, void (*)(X509_STORE *)> store(X509_STORE_new(), X509_STORE_free);
    const X509Ptr leaf = toX509(chain.first());
    const std::unique_ptr<STACK_OF(X509), void (*)(STACK_OF(X509) *)> untrusted(
        sk_X509_new_null(), [](STACK_OF(X509) * stack) { sk_X509_pop_free(stack, X509_free); });
    const std::unique_ptr<X509_STORE_CTX, void (*)(X509_STORE_CTX *)> context(X509_STORE_CTX_new(),
                                                                              X509_STORE_CTX_free);
    if (!store || !leaf || !untrusted || !context)
        return false;
    int anchors = 0;
    for (const QSslCertificate &authority : authorities) {
        const X509Ptr x = toX509(authority);
        anchors += x && X509_STORE_add_cert(store.get(), x.get()) == 1 ? 1 : 0;
    }
    if (anchors == 0)
        return false;
    // What the server sent beyond its own certificate only helps to build the path; it is
    // never trusted for itself.
    for (int i = 1; i < chain.size(); ++i) {
        X509Ptr x = toX509(chain.at(i));
        if (x && sk_X509_push(untrusted.get(), x.get()) > 0)
            x.release();
    }
    if (X509_STORE_CTX_init(context.get(), store.get(), leaf.get(), untrusted.get()) != 1)
        return false;
    X509_VERIFY_PARAM *parameters = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_purpose(parameters, X509_PURPOSE_SSL_SERVER);
    const bool isAddress = !QHostAddress(host).isNull();
    const QByteArray name = isAddress ? host.toLatin1() : QUrl::toAce(host);
    if (name.isEmpty() ||
        (isAddress ? X509_VERIFY_PARAM_set1_ip_asc(parameters, name.constData())
                   : X509_VERIFY_PARAM_set1_host(parameters, name.constData(), size_t(name.size()))) != 1)
        return false;
    return X509_verify_cert(context.get()) == 1;
}

bool trustedByConfiguredAuthority(const QList<QSslCertificate> &chain, const QString &host)
{
    const QString caFile = platform::config::webApiCaFile();
    if (caFile.isEmpty())
        return false; // the system's authorities, which Chromium already knows
    return chainVerifiesTo(chain, QSslCertificate::fromPath(caFile), host);
}

} // namespace webengine
