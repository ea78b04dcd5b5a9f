// Placeholder until the service client lands.
#include "networkreplywrapper.h"

NetworkReplyWrapper::NetworkReplyWrapper(const QNetworkRequest &request, RequestMethod method,
                                         const QByteArray &body, bool renewTokenOnUnauthorized)
    : m_renewTokenOnUnauthorized(renewTokenOnUnauthorized), m_request(request), m_body(body), m_method(method)
{
}
NetworkReplyWrapper::~NetworkReplyWrapper() = default;
void NetworkReplyWrapper::abort() {}
void NetworkReplyWrapper::onReplyFinished() {}
void NetworkReplyWrapper::onLoginSucceeded() {}
void NetworkReplyWrapper::onLoginFailed() {}
void NetworkReplyWrapper::send() {}
