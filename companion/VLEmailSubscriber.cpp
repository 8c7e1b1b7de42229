#include "companion/VLEmailSubscriber.h"

#include "companion/SWLinkBuilder.h"
#include "platform/core/DictionaryAdditions.h"
#include "platform/net/HttpSender.h"
#include "platform/settings/Defaults.h"

namespace {

QString reasonPhrase(int status)
{
    switch (status) {
    case 400:
        return QStringLiteral("bad request");
    case 401:
        return QStringLiteral("unauthorized");
    case 403:
        return QStringLiteral("forbidden");
    case 404:
        return QStringLiteral("not found");
    case 500:
        return QStringLiteral("internal server error");
    case 502:
        return QStringLiteral("bad gateway");
    case 503:
        return QStringLiteral("service unavailable");
    default:
        return QStringLiteral("server error");
    }
}

VLError errorFor(const platform::HttpResponse &response)
{
    using Failure = platform::HttpResponse::Failure;
    if (response.answered()) {
        return VLError(VLEmailSubscriber::responseErrorDomain, -1011,
                       {{QStringLiteral("NSLocalizedDescription"), QStringLiteral("Request failed: %1 (%2)")
                                                                       .arg(reasonPhrase(response.statusCode))
                                                                       .arg(response.statusCode)},
                        {QStringLiteral("statusCode"), response.statusCode}});
    }
    qint64 code = -1005; // the connection was lost
    switch (response.failure) {
    case Failure::ConnectionRefused:
        code = -1004;
        break;
    case Failure::HostNotFound:
        code = -1003;
        break;
    case Failure::TimedOut:
        code = -1001;
        break;
    case Failure::Cancelled:
        code = -999;
        break;
    default:
        break;
    }
    return VLError(VLEmailSubscriber::urlErrorDomain, code,
                   {{QStringLiteral("NSLocalizedDescription"), response.errorString}});
}

void VLEmailSubscriberSuccessHandler(const VLEmailSubscriber::Completion &completion)
{
    if (completion)
        completion(true, VLError());
}

void VLEmailSubscriberFailureHandler(const VLEmailSubscriber::Completion &completion, const VLError &error)
{
    if (completion)
        completion(false, error);
}

} // namespace

VLEmailSubscriber::VLEmailSubscriber(QUrl backend, std::optional<SWTrackingEnvironment> environment, QObject *parent)
    : QObject(parent)
    , m_backend(std::move(backend))
    , m_environment(environment.value_or(SWTrackingEnvironment::current()))
    , m_manager(std::make_unique<platform::HttpSender>())
{
}

VLEmailSubscriber::~VLEmailSubscriber() = default;

QUrl VLEmailSubscriber::signUpURL(const QString &email) const
{
    const QVariantMap parameters = vl_appendWith({{QStringLiteral("email"), email}},
                                                 Registration::vl_defaultTrackingParameters(m_environment));
    QByteArray query;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        if (!query.isEmpty())
            query += '&';
        query += QUrl::toPercentEncoding(it.key()) + '=' + QUrl::toPercentEncoding(SWQueryValueText(it.value()));
    }
    // The base keeps its path: the request goes to "<base>/vaultinesignup".
    QByteArray address = m_backend.toEncoded(QUrl::StripTrailingSlash | QUrl::RemoveQuery | QUrl::RemoveFragment);
    address += "/vaultinesignup?" + query;
    return QUrl::fromEncoded(address, QUrl::StrictMode);
}

void VLEmailSubscriber::subscribeMailWithCompletion(const QString &email, Completion completion)
{
    m_manager->send(platform::HttpRequest(signUpURL(email)), this,
                    [completion = std::move(completion)](const platform::HttpResponse &response) {
                        // Any 2xx answer is accepted; its body is ignored.
                        if (response.succeeded())
                            VLEmailSubscriberSuccessHandler(completion);
                        else
                            VLEmailSubscriberFailureHandler(completion, errorFor(response));
                    });
}

bool VLEmailSubscriber::hasSubscribed()
{
    return platform::Defaults::standard().boolValue(hasSubscribedKey);
}

void VLEmailSubscriber::setSubscribed(bool subscribed)
{
    platform::Defaults::standard().setValue(hasSubscribedKey, subscribed);
    platform::Defaults::standard().synchronize();
}

bool VLEmailSubscriber::hasSkippedSubscription()
{
    return platform::Defaults::standard().boolValue(hasSkippedSubscriptionKey);
}

void VLEmailSubscriber::setSkippedSubscription(bool skipped)
{
    platform::Defaults::standard().setValue(hasSkippedSubscriptionKey, skipped);
    platform::Defaults::standard().synchronize();
}
