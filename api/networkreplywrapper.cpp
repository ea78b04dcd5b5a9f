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

namespace {

qint64 g_maxReplyBodySize = NetworkReplyWrapper::kMaxReplyBodySize;

const char *errorName(QNetworkReply::NetworkError error)
{
    const char *name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(error);
    return name ? name : "UnknownError";
}

} // namespace

NetworkReplyWrapper::NetworkReplyWrapper(QNetworkAccessManager *network, const QNetworkRequest &request,
                                         RequestMethod method, const QByteArray &body, bool renewTokenOnUnauthorized)
    : m_network(network), m_renewTokenOnUnauthorized(renewTokenOnUnauthorized), m_request(request), m_body(body), m_method(method)
{
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
}

void NetworkReplyWrapper::onReplyReadyRead()
{
    if (!m_reply || m_tooLarge)
        return;
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
    if (!m_reply || m_reply->isFinished() || m_reported)
        return;
    // The reply runs to its end on its own and deletes itself; only its result is ignored.
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
