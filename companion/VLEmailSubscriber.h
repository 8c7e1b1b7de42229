#pragma once

#include "companion/SWTrackingEnvironment.h"
#include "platform/core/VLError.h"

#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>

namespace platform {
class HttpSender;
}

// Sends the newsletter sign-up of the tutorial to the maker backend and keeps the two flags
// that decide at launch whether the tutorial is shown.
class VLEmailSubscriber final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLEmailSubscriber)

public:
    static inline const QUrl productionBackend = QUrl(QStringLiteral("https://api.nimbrel.com/backend"));
    static inline const QString hasSubscribedKey = QStringLiteral("kVLEmailSubscriberHasSubscribed");
    static inline const QString hasSkippedSubscriptionKey = QStringLiteral("kVLEmailSubscriberHasSkippedSubscription");
    // Errors of answers outside 200-299, and of requests that got no answer.
    static inline const QString responseErrorDomain = QStringLiteral("com.alamofire.error.serialization.response");
    static inline const QString urlErrorDomain = QStringLiteral("NSURLErrorDomain");

    // Called on the interface thread with YES and no error, or NO and the request's error.
    using Completion = std::function<void(bool success, const VLError &error)>;

    explicit VLEmailSubscriber(QUrl backend = productionBackend,
                               std::optional<SWTrackingEnvironment> environment = std::nullopt,
                               QObject *parent = nullptr);
    ~VLEmailSubscriber() override;

    void subscribeMailWithCompletion(const QString &email, Completion completion);

    // The address a sign-up for this e-mail address goes to.
    QUrl signUpURL(const QString &email) const;

    static bool hasSubscribed();
    static void setSubscribed(bool subscribed);
    static bool hasSkippedSubscription();
    static void setSkippedSubscription(bool skipped);

private:
    QUrl m_backend;
    SWTrackingEnvironment m_environment;
    std::unique_ptr<platform::HttpSender> m_manager;
};
