// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/update/UpdateFeed.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <sodium.h>

namespace platform::update {

namespace {

FeedResult refused(const QString& message)
{
    FeedResult result;
    result.status = FeedResult::Refused;
    result.message = message;
    return result;
}

std::optional<QList<quint64>> versionParts(const QString& version)
{
    if (version.isEmpty() || version.size() > 64)
        return std::nullopt;
    QList<quint64> parts;
    for (const QString& part : version.split(QLatin1Char('.'))) {
        bool ok = false;
        // Digits only: toULongLong would take signs and blanks.
        if (part.isEmpty() || part.size() > 9 ||
            !std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
            return std::nullopt;
        parts.append(part.toULongLong(&ok));
    }
    return parts;
}

QByteArray strictBase64(const QJsonValue& value)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? *decoded : QByteArray();
}

} // namespace

std::optional<int> compareVersions(const QString& a, const QString& b)
{
    auto pa = versionParts(a);
    auto pb = versionParts(b);
    if (!pa || !pb)
        return std::nullopt;
    const qsizetype n = std::max(pa->size(), pb->size());
    for (qsizetype i = 0; i < n; ++i) {
        const quint64 x = i < pa->size() ? pa->at(i) : 0;
        const quint64 y = i < pb->size() ? pb->at(i) : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

bool isAllowedUrl(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https"))
        return true;
    return url.scheme() == QLatin1String("http") && QHostAddress(url.host()).isLoopback();
}

QByteArray decodePublicKey(const QString& base64)
{
    const QByteArray key = strictBase64(QJsonValue(base64.trimmed()));
    return key.size() == crypto_sign_PUBLICKEYBYTES ? key : QByteArray();
}

FeedResult evaluateFeed(const QByteArray& document, const FeedTrust& trust)
{
    if (sodium_init() < 0)
        return refused(QCoreApplication::translate("Updater", "The signature library could not start."));
    if (document.size() > maxFeedBytes)
        return refused(QCoreApplication::translate("Updater", "The update information is too large."));
    const QJsonObject outer = QJsonDocument::fromJson(document).object();
    const QByteArray body = strictBase64(outer.value(QLatin1String("signed")));
    const QByteArray signature = strictBase64(outer.value(QLatin1String("signature")));
    if (body.isEmpty() || signature.size() != crypto_sign_BYTES)
        return refused(QCoreApplication::translate("Updater", "The update information is not signed."));

    QByteArray signer;
    for (const QByteArray& key : trust.publicKeys) {
        if (key.size() == crypto_sign_PUBLICKEYBYTES &&
            crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.constData()),
                                        reinterpret_cast<const unsigned char*>(body.constData()),
                                        static_cast<unsigned long long>(body.size()),
                                        reinterpret_cast<const unsigned char*>(key.constData())) == 0) {
            signer = key;
            break;
        }
    }
    if (signer.isEmpty())
        return refused(QCoreApplication::translate(
            "Updater", "The update information has a signature this version does not trust."));

    const QJsonObject feed = QJsonDocument::fromJson(body).object();
    UpdateOffer offer;
    offer.publicKey = signer;
    offer.identifier = feed.value(QLatin1String("identifier")).toString();
    offer.version = feed.value(QLatin1String("version")).toString();
    offer.notes = feed.value(QLatin1String("notes")).toString().left(20000);
    const QJsonValue size = feed.value(QLatin1String("size"));
    offer.size = size.isDouble() ? static_cast<qint64>(size.toDouble(-1)) : -1;
    offer.sha256 = QByteArray::fromHex(feed.value(QLatin1String("sha256")).toString().toLatin1());
    offer.archiveSignature = strictBase64(feed.value(QLatin1String("signature")));
    offer.expires = QDateTime::fromString(feed.value(QLatin1String("expires")).toString(), Qt::ISODate);
    const QString url = feed.value(QLatin1String("url")).toString();
    offer.archiveUrl = url.isEmpty() ? QUrl() : trust.feedUrl.resolved(QUrl(url));

    if (offer.identifier != trust.identifier)
        return refused(
            QCoreApplication::translate("Updater", "The update information is for another product."));
    if (!compareVersions(offer.version, offer.version))
        return refused(
            QCoreApplication::translate("Updater", "The update information names no valid version."));
    if (!offer.expires.isValid() || offer.expires <= trust.now)
        return refused(QCoreApplication::translate("Updater", "The update information has expired."));
    if (offer.size <= 0 || offer.size > maxArchiveBytes || offer.sha256.size() != crypto_hash_sha256_BYTES ||
        offer.archiveSignature.size() != crypto_sign_BYTES || !isAllowedUrl(offer.archiveUrl))
        return refused(QCoreApplication::translate("Updater", "The update information is incomplete."));
    // An older feed replayed after a newer one was seen would offer a version with known faults.
    if (!trust.highestSeenVersion.isEmpty() &&
        compareVersions(offer.version, trust.highestSeenVersion).value_or(-1) < 0)
        return refused(QCoreApplication::translate(
            "Updater", "The update information is older than what this computer has seen."));

    FeedResult result;
    result.offer = offer;
    const auto vsRunning = compareVersions(offer.version, trust.runningVersion);
    result.status = vsRunning.value_or(1) > 0 ? FeedResult::Offer : FeedResult::UpToDate;
    return result;
}

} // namespace platform::update
