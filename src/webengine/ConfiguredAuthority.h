// The certificate authority the program's own web calls trust ("webapi/ca_file" of the build
// configuration), for the sign-in pages as well: Chromium knows only the system's authorities.
#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

namespace webengine {

// True when chain (the server's certificate first) verifies up to one of authorities: every
// signature, every certificate's dates and the server's use, and host (a name or an address)
// named by the server's certificate. Nothing else counts, whatever the chain's names claim.
bool chainVerifiesTo(const QList<QSslCertificate> &chain, const QList<QSslCertificate> &authorities,
                     const QString &host);

// chainVerifiesTo the authorities of the configured CA file; false when none is configured.
bool trustedByConfiguredAuthority(const QList<QSslCertificate> &chain, const QString &host);

} // namespace webengine
