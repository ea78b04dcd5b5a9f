#include "networkreplywrapper.h"

#include "api/secretmask.h"

#include <QDebug>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QMetaMethod>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace {

qint64 g_maxReplyBodySize = NetworkReplyWrapper::kMaxReplyBodySize;
int g_requestTimeoutMs = NetworkReplyWrapper::kRequestTimeoutMs;
int g_firstRetryDelayMs = NetworkReplyWrapper::kFirstRetryDelayMs;

bool isTransientError(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyTimeoutError:
        return true;
    default:
        return false;
    }
}

const char *errorName(QNetworkReply::NetworkError error)
{
    const char *name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(error);
    return name ? name : "UnknownError";
}

} // namespace

NetworkReplyWrapper::NetworkReplyWrapper(QNetworkAccessManager *network, const QNetworkRequest &request,
                                         RequestMethod method, const QByteArray &body, bool renewTokenOnUnauthorized)
    : m_network(network), m_renewTokenOnUnauthorized(renewTokenOnUnauthorized), m_request(request), m_body(body), m_method(method)
    , m_timeoutTimer(new QTimer(this))
    , m_retryTimer(new QTimer(this))
{
    m_timeoutTimer->setSingleShot(true);
    connect(m_timeoutTimer, &QTimer::timeout, this, &NetworkReplyWrapper::onTimedOut);
    m_retryTimer->setSingleShot(true);
    connect(m_retryTimer, &QTimer::timeout, this, &NetworkReplyWrapper::send);
    send();
}

NetworkReplyWrapper::~NetworkReplyWrapper() = default;

void NetworkReplyWrapper::setMaxReplyBodySize(qint64 bytes)
{
    g_maxReplyBodySize = bytes > 0 ? bytes : kMaxReplyBodySize;
}

qint64 NetworkReplyWrapper::maxReplyBodySize()
{
    return g_maxReplyBodySize;
}

void NetworkReplyWrapper::setRequestTimeoutMs(int ms)
{
    g_requestTimeoutMs = ms > 0 ? ms : kRequestTimeoutMs;
}

int NetworkReplyWrapper::requestTimeoutMs()
{
    return g_requestTimeoutMs;
}

void NetworkReplyWrapper::setFirstRetryDelayMs(int ms)
{
    g_firstRetryDelayMs = ms > 0 ? ms : kFirstRetryDelayMs;
}

bool NetworkReplyWrapper::isSecureEnough(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    if (scheme != QLatin1String("http"))
        return false;
    const QString host = url.host().toLower();
    if (host == QLatin1String("localhost"))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

void NetworkReplyWrapper::send()
{
    m_received.clear();
    m_tooLarge = false;
    m_timedOut = false;

    QNetworkAccessManager *manager = m_network;
    const QUrl url = m_request.url();
    const bool secure = isSecureEnough(url);
    if (!manager || !secure) {
        if (!secure)
            qDebug().nospace() << "ERROR: " << "Network: Request refused, credentials would travel unencrypted: "
                               << url.toString();
        else
            qDebug().nospace() << "ERROR: " << "Network: No network access available for " << url.toString();
        // Reported like a network failure, and only after the caller has connected.
        QMetaObject::invokeMethod(this, [this] { report(false, QJsonValue()); }, Qt::QueuedConnection);
        return;
    }

    QNetworkReply *reply = nullptr;
    switch (m_method) {
    case Get:
        reply = manager->get(m_request);
        break;
    case Post:
        reply = manager->post(m_request, m_body);
        break;
    case Delete:
        reply = manager->deleteResource(m_request);
        break;
    }
    m_reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, &NetworkReplyWrapper::onReplyReadyRead);
    connect(reply, &QNetworkReply::finished, this, &NetworkReplyWrapper::onReplyFinished);
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    m_timeoutTimer->start(g_requestTimeoutMs);
}

void NetworkReplyWrapper::onTimedOut()
{
    if (!m_reply || m_reported)
        return;
    qDebug().nospace() << "ERROR: " << "Network: No answer within " << g_requestTimeoutMs
                       << " ms. RequestURL: " << m_request.url().toString();
    m_timedOut = true;
    // Ends the reply at once; its finished() brings the failure to onReplyFinished().
    m_reply->abort();
}

bool NetworkReplyWrapper::retryTransient(QNetworkReply *reply, int status)
{
    const bool transient = m_timedOut || status >= 500 || isTransientError(reply->error());
    if (!m_retryTransient || !transient || m_transientRetries >= kTransientRetries)
        return false;
    const int delay = g_firstRetryDelayMs << m_transientRetries;
    ++m_transientRetries;
    qDebug().nospace() << "WARNING: " << "Network: Transient failure (status " << status << ", "
                       << (m_timedOut ? "no answer" : errorName(reply->error())) << "); retry " << m_transientRetries
                       << " of " << kTransientRetries << " in " << delay << " ms. RequestURL: " << m_request.url().toString();
    m_reply = nullptr;
    m_retryTimer->start(delay);
    return true;
}

void NetworkReplyWrapper::onReplyReadyRead()
{
    if (!m_reply || m_tooLarge)
        return;
    m_timeoutTimer->start(g_requestTimeoutMs);
    // The body is drained as it arrives so that an oversized reply is cut off, not buffered.
    // Asking for no more than is buffered matters: read(n) sizes its buffer to n up front.
    const qint64 room = g_maxReplyBodySize + 1 - m_received.size();
    m_received += m_reply->read(qMin(m_reply->bytesAvailable(), room));
    if (m_received.size() > g_maxReplyBodySize) {
        m_tooLarge = true;
        m_received.clear();
        m_reply->abort();
    }
}

void NetworkReplyWrapper::onReplyFinished()
{
    QNetworkReply *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply || reply != m_reply || m_reported)
        return;
    disconnect(reply, nullptr, this, nullptr);

    if (!m_tooLarge)
        onReplyReadyRead();
    m_timeoutTimer->stop();
    if (m_tooLarge) {
        qDebug().nospace() << "ERROR: " << "Network: Reply larger than " << g_maxReplyBodySize
                           << " bytes dropped. RequestURL: " << reply->request().url().toString();
        report(false, QJsonValue());
        return;
    }

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = m_received;
    m_received.clear();
    qDebug().nospace() << "INFO: " << "Network: Reply received. Status: " << status << ". Reply: "
                       << SecretMask::loggedBody(body) << "RequestURL: " << reply->request().url().toString()
                       << " Error:" << errorName(reply->error());
    if (retryTransient(reply, status))
        return;

    bool success = false;
    QJsonValue message;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const bool isEnvelope = document.isObject();
    if (isEnvelope) {
        const QJsonObject envelope = document.object();
        message = envelope.value(QLatin1String("message"));
        success = envelope.value(QLatin1String("status")).toString() == QLatin1String("success");
    }

    if (isEnvelope && !success && status == 401 && m_renewTokenOnUnauthorized
        && isSignalConnected(QMetaMethod::fromSignal(&NetworkReplyWrapper::unauthorized))) {
        qDebug().nospace() << "WARNING: " << "Network: Unauthorized request! Renovate token";
        // A later sign-in must not send this request a third time.
        m_renewTokenOnUnauthorized = false;
        emit unauthorized();
        return;
    }
    if (m_timedOut)
        message = QStringLiteral("No answer from the service within %1 s").arg(g_requestTimeoutMs / 1000.0);
    report(success, message);
}

void NetworkReplyWrapper::retry(const QString &accessToken)
{
    if (m_reported)
        return;
    m_request.setRawHeader("Authorization", QByteArrayLiteral("Bearer ") + accessToken.toLatin1());
    send();
}

void NetworkReplyWrapper::giveUp()
{
    report(false, QJsonValue(QStringLiteral("Unauthorized request")));
}

void NetworkReplyWrapper::abort()
{
    if (m_reported)
        return;
    const bool waitingToRetry = m_retryTimer->isActive();
    m_retryTimer->stop();
    if (!waitingToRetry && (!m_reply || m_reply->isFinished()))
        return;
    m_timeoutTimer->stop();
    // The reply runs to its end on its own and deletes itself; only its result is ignored.
    if (m_reply)
        disconnect(m_reply, nullptr, this, nullptr);
    m_reply = nullptr;
    report(false, QJsonValue());
}

void NetworkReplyWrapper::report(bool success, const QJsonValue &message)
{
    if (m_reported)
        return;
    m_reported = true;
    emit replyFinished(success, message);
    deleteLater();
}
