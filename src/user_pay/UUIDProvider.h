// The device id that identifies this machine to the account and cloud services.
#pragma once

#include <QString>

class UUIDProvider
{
public:
    // The lower-case MD5 hex digest of the machine's identifiers, read afresh at every call
    // (callers keep the first value). One blank when no identifier could be read at all, so
    // that callers make an id of their own instead of one every such machine would share.
    static QString getUuid();

    // Each identifier is stripped of blanks, line breaks, hyphens and underscores, and the
    // results are joined in this order; fallback when the joined text is empty.
    static QString combine(const QString &productUuid, const QString &boardSerial, const QString &processorId,
                           const QString &volumeSerial, const QString &fallback = QStringLiteral(" "));
};
