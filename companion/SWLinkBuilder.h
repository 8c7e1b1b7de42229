#pragma once

#include "companion/SWTrackingEnvironment.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <optional>

// Builds the links the application opens in the browser (help, feedback, the maker's site,
// product pages, the give-away offer): the tracking server's address with an action, the
// caller's parameters and the standard parameters. Every operation reads the system's facts
// unless given others. Every value is escaped byte-exactly.
class SWLinkBuilder final
{
public:
    SWLinkBuilder() = delete;

    static QUrl tdsURLWithActionParams(const QString &action, const QVariantMap &params,
                                       const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());
    static QUrl tdsURLWithAction(const QString &action,
                                 const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());
    static QUrl standartTdsURLWithActionParams(
        const QString &action, const QVariantMap &params,
        const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());
    static QUrl standartTdsURLWithAction(const QString &action,
                                         const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());
    static QUrl tdsURLGiveAwayAction(const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());

    static QString standardParameters(const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());
    static QString standardGiveAwayParameters(
        const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());
    static QString CLHParam(const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());
    static std::optional<QString> hardwareUUID(
        const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());
    static std::optional<QString> osVersion(
        const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());

private:
    static QUrl linkFromText(const QString &text);
};

// The workspace's registration facts, shared with the newsletter sign-up.
namespace Registration {
// The preferred languages, at most three, joined with ",".
QString vl_preferredLanguages(const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());
// "product", "version", "user", "OS" (the toolkit version as a number) and "lang".
QVariantMap vl_defaultTrackingParameters(const SWTrackingEnvironment &environment = SWTrackingEnvironment::current());
} // namespace Registration
