// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Whatever a feed server sends: the document as it came, and the same bytes as a body signed by a trusted
// key, so the fields behind the signature are reached too. An offer that passes must be sound.

#include "platform/update/UpdateFeed.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <sodium.h>

using namespace platform::update;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
    static const bool keyed = [] {
        if (sodium_init() < 0)
            std::abort();
        unsigned char seed[crypto_sign_SEEDBYTES] = {1};
        crypto_sign_seed_keypair(pk, sk, seed);
        return true;
    }();
    (void)keyed;

    FeedTrust trust;
    trust.identifier = QStringLiteral("com.quorlenvik.pealix");
    trust.runningVersion = QStringLiteral("1.0.0");
    trust.highestSeenVersion = QStringLiteral("1.2");
    trust.publicKeys = {QByteArray(reinterpret_cast<const char*>(pk), sizeof pk)};
    trust.feedUrl = QUrl(QStringLiteral("https://pealix.example/updates/feed.json"));
    trust.now = QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC);

    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    evaluateFeed(bytes, trust);

    unsigned char sig[crypto_sign_BYTES];
    crypto_sign_detached(sig, nullptr, data, size, sk);
    const QByteArray feed =
        QJsonDocument(
            QJsonObject{{"signed", QString::fromLatin1(bytes.toBase64())},
                        {"signature", QString::fromLatin1(
                                          QByteArray(reinterpret_cast<char*>(sig), sizeof sig).toBase64())}})
            .toJson(QJsonDocument::Compact);
    const FeedResult result = evaluateFeed(feed, trust);
    if (result.status == FeedResult::Offer) {
        const UpdateOffer& o = result.offer;
        if (o.identifier != trust.identifier || o.size <= 0 || o.size > maxArchiveBytes ||
            o.sha256.size() != 32 || o.archiveSignature.size() != 64 || !isAllowedUrl(o.archiveUrl) ||
            o.expires <= trust.now || compareVersions(o.version, trust.runningVersion).value_or(0) <= 0 ||
            compareVersions(o.version, trust.highestSeenVersion).value_or(-1) < 0)
            std::abort();
    }
    return 0;
}
