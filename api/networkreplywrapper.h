#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>

class QNetworkReply;

// One request to the storefront service. Reports once through replyFinished() and then
// deletes itself; callers keep it only through a QPointer.
class NetworkReplyWrapper : public QObject
{
    Q_OBJECT
public:
    enum RequestMethod : qint32 { Get = 0, Post = 1, Delete = 2 };
    Q_ENUM(RequestMethod)

    NetworkReplyWrapper(const QNetworkRequest &request, RequestMethod method, const QByteArray &body,
                        bool renewTokenOnUnauthorized);
    ~NetworkReplyWrapper() override;

    void abort();

signals:
    void replyFinished(bool success, QJsonValue message);

private slots:
    void onReplyFinished();
    void onLoginSucceeded();
    void onLoginFailed();

private:
    void send();

    bool m_renewTokenOnUnauthorized;
    QNetworkRequest m_request;
    QByteArray m_body;
    RequestMethod m_method;
    QPointer<QNetworkReply> m_reply;
};
