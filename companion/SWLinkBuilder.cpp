#include "companion/SWLinkBuilder.h"

#include "engine/files/NSStringAdditions.h"

#include <QStringList>

namespace {

QString SWLinkBuilderQueryPair(const QString &key, const QVariant &value)
{
    return NSStringAdditions::stringByEncodingURLEscapes(key) + u'='
           + NSStringAdditions::stringByEncodingURLEscapes(SWQueryValueText(value));
}

QStringList actionParts(const QString &action, const QVariantMap &params)
{
    QStringList parts{QStringLiteral("action=") + NSStringAdditions::swp_stringEncodedAsURL(action)};
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        parts << SWLinkBuilderQueryPair(it.key(), it.value());
    return parts;
}

} // namespace

QUrl SWLinkBuilder::linkFromText(const QString &text)
{
    const QUrl url = QUrl::fromEncoded(text.toUtf8(), QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

QUrl SWLinkBuilder::tdsURLWithActionParams(const QString &action, const QVariantMap &params,
                                           const SWTrackingEnvironment &environment)
{
    return linkFromText(environment.trackingServer + u'&' + actionParts(action, params).join(u'&'));
}

QUrl SWLinkBuilder::tdsURLWithAction(const QString &action, const SWTrackingEnvironment &environment)
{
    return tdsURLWithActionParams(action, {}, environment);
}

QUrl SWLinkBuilder::standartTdsURLWithActionParams(const QString &action, const QVariantMap &params,
                                                   const SWTrackingEnvironment &environment)
{
    QStringList parts = actionParts(action, params);
    parts << standardParameters(environment);
    return linkFromText(environment.trackingServer + u'&' + parts.join(u'&'));
}

QUrl SWLinkBuilder::standartTdsURLWithAction(const QString &action, const SWTrackingEnvironment &environment)
{
    return standartTdsURLWithActionParams(action, {}, environment);
}

QUrl SWLinkBuilder::tdsURLGiveAwayAction(const SWTrackingEnvironment &environment)
{
    return linkFromText(environment.trackingServer + QStringLiteral("&action=giveaway&")
                        + standardGiveAwayParameters(environment));
}

QString SWLinkBuilder::standardParameters(const SWTrackingEnvironment &environment)
{
    using NSStringAdditions::swp_stringEncodedAsURL;
    return QStringLiteral("product=%1&version=%2&os=%3&lang=%4")
        .arg(swp_stringEncodedAsURL(environment.productName), swp_stringEncodedAsURL(environment.buildVersion),
             swp_stringEncodedAsURL(osVersion(environment).value_or(SWNilText)),
             swp_stringEncodedAsURL(Registration::vl_preferredLanguages(environment)));
}

QString SWLinkBuilder::standardGiveAwayParameters(const SWTrackingEnvironment &environment)
{
    // Base64 carries "+", "/" and "=", which a query must not carry bare.
    return standardParameters(environment) + QStringLiteral("&giveawayID=")
           + NSStringAdditions::swp_stringEncodedAsURL(CLHParam(environment));
}

QString SWLinkBuilder::CLHParam(const SWTrackingEnvironment &environment)
{
    const QString uuid = hardwareUUID(environment).value_or(SWNilText);
    const QString hash = VLMD5HexOfString(uuid + environment.linkSalt);
    return VLBase64EncodedString(uuid + u'|' + hash);
}

std::optional<QString> SWLinkBuilder::hardwareUUID(const SWTrackingEnvironment &environment)
{
    return environment.hardwareUUID;
}

std::optional<QString> SWLinkBuilder::osVersion(const SWTrackingEnvironment &environment)
{
    if (!environment.systemVersion)
        return std::nullopt;
    const platform::SystemVersion &version = *environment.systemVersion;
    return QStringLiteral("%1.%2.%3").arg(version.major).arg(version.minor).arg(version.patch);
}

namespace Registration {

QString vl_preferredLanguages(const SWTrackingEnvironment &environment)
{
    QStringList languages = environment.preferredLanguages;
    if (languages.size() >= 4)
        languages = languages.mid(0, 3);
    return languages.join(u',');
}

QVariantMap vl_defaultTrackingParameters(const SWTrackingEnvironment &environment)
{
    return {{QStringLiteral("product"), environment.productName},
            {QStringLiteral("version"), environment.shortVersion},
            {QStringLiteral("user"), environment.userName},
            {QStringLiteral("OS"), environment.appKitVersion},
            {QStringLiteral("lang"), vl_preferredLanguages(environment)}};
}

} // namespace Registration
