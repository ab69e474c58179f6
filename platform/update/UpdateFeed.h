// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The signed update feed: what it offers and whether it may be trusted.
//
// A feed is a JSON object {"signed": base64(body), "signature": base64(Ed25519 over body)}; the body is a
// JSON object with "identifier", "version", "url" (the archive, relative to the feed), "size", "sha256"
// (hex), "signature" (base64 Ed25519ph over the archive), "expires" (ISO 8601) and "notes". Signing the
// body's bytes, not a re-encoding of them, leaves nothing to canonicalise.

#include "platform/Export.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

namespace platform::update {

inline constexpr qint64 maxFeedBytes = 64 * 1024;
inline constexpr qint64 maxArchiveBytes = 256LL * 1024 * 1024;

struct UpdateOffer {
    QString identifier;
    QString version;
    QString notes;
    QUrl archiveUrl;
    qint64 size = 0;
    QByteArray sha256;           // 32 bytes
    QByteArray archiveSignature; // 64 bytes
    QByteArray publicKey;        // the key that signed the feed, which must also sign the archive
    QDateTime expires;
};

// What a feed is checked against.
struct FeedTrust {
    QString identifier;
    QString runningVersion;
    QString highestSeenVersion;   // empty when none
    QList<QByteArray> publicKeys; // 32-byte Ed25519 keys: current and next
    QUrl feedUrl;
    QDateTime now;
};

struct FeedResult {
    enum Status { Offer, UpToDate, Refused };
    Status status = Refused;
    UpdateOffer offer; // also filled for UpToDate, so the caller can record the version seen
    QString message;   // why a feed was refused, for the user
};

// Dotted numeric versions: negative, zero or positive like strcmp; nullopt when either is not one.
PEALIX_EXPORT std::optional<int> compareVersions(const QString& a, const QString& b);
// HTTPS anywhere, plain HTTP only to a loopback address.
PEALIX_EXPORT bool isAllowedUrl(const QUrl& url);
// Decodes a base64 public key; empty when it is not 32 bytes.
PEALIX_EXPORT QByteArray decodePublicKey(const QString& base64);
PEALIX_EXPORT FeedResult evaluateFeed(const QByteArray& document, const FeedTrust& trust);

} // namespace platform::update
