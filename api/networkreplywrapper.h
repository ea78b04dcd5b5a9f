#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

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
    // A request the service leaves this long without a byte of answer fails; a loaded service
    // answers a file task or a library page well within it.
    static constexpr int kRequestTimeoutMs = 30000;
    // A request that retries transient failures (no answer, a dropped connection, a 5xx) is
    // sent again this many times, the pauses doubling from the first, before it fails.
    static constexpr int kTransientRetries = 3;
    static constexpr int kFirstRetryDelayMs = 1000;

    NetworkReplyWrapper(QNetworkAccessManager *network, const QNetworkRequest &request, RequestMethod method,
                        const QByteArray &body, bool renewTokenOnUnauthorized);
    ~NetworkReplyWrapper() override;

    void abort();
    // Sends the request once more with a fresh access token.
    void retry(const QString &accessToken);
    // The sign-in could not be renewed: the request fails as unauthorized.
    void giveUp();
    // Sends the request again after a transient failure; for requests that may be repeated.
    void setRetryTransientFailures(bool on) { m_retryTransient = on; }

    // Test seam: a small bound lets a test exceed it cheaply. Zero or less restores the default.
    static void setMaxReplyBodySize(qint64 bytes);
    static qint64 maxReplyBodySize();
    // Test seams: how long a silent service is waited for, and the first pause before a retry.
    static void setRequestTimeoutMs(int ms);
    static int requestTimeoutMs();
    static void setFirstRetryDelayMs(int ms);

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
    void onTimedOut();
    // Whether the failure was transient and the request goes out again.
    bool retryTransient(QNetworkReply *reply, int status);
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
    bool m_retryTransient = false;
    bool m_timedOut = false;
    int m_transientRetries = 0;
    QTimer *m_timeoutTimer = nullptr;
    QTimer *m_retryTimer = nullptr;
};
