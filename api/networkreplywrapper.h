#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>

class QNetworkAccessManager;
class QNetworkReply;

// One request to the storefront service. Reports once through replyFinished() and then
// deletes itself; callers keep it only through a QPointer. A request that may renew the
// sign-in announces a refused token through unauthorized(); its owner signs in again and
// answers with retry() or giveUp().
class NetworkReplyWrapper : public QObject
{
    Q_OBJECT
public:
    enum RequestMethod : qint32 { Get = 0, Post = 1, Delete = 2 };
    Q_ENUM(RequestMethod)

    // Generous for a library page of thousands of products, yet far from exhausting memory.
    static constexpr qint64 kMaxReplyBodySize = 256 * 1024 * 1024;

    NetworkReplyWrapper(QNetworkAccessManager *network, const QNetworkRequest &request, RequestMethod method,
                        const QByteArray &body, bool renewTokenOnUnauthorized);
    ~NetworkReplyWrapper() override;

    void abort();
    // Sends the request once more with a fresh access token.
    void retry(const QString &accessToken);
    // The sign-in could not be renewed: the request fails as unauthorized.
    void giveUp();

    // Test seam: a small bound lets a test exceed it cheaply. Zero or less restores the default.
    static void setMaxReplyBodySize(qint64 bytes);
    static qint64 maxReplyBodySize();

    // Only https, or plain http to this machine, may carry credentials.
    static bool isSecureEnough(const QUrl &url);

signals:
    void replyFinished(bool success, QJsonValue message);
    void unauthorized();

private slots:
    void onReplyFinished();
    void onReplyReadyRead();

private:
    void send();
    void report(bool success, const QJsonValue &message);

    QNetworkAccessManager *const m_network;
    bool m_renewTokenOnUnauthorized;
    QNetworkRequest m_request;
    QByteArray m_body;
    RequestMethod m_method;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_received;
    bool m_tooLarge = false;
    bool m_reported = false;
};
