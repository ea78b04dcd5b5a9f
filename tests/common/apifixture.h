#pragma once

#include "api/remoteapi.h"
#include "loopbackserver.h"
#include "testservices.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QSignalSpy>

// A loopback service with the stand-in controller pointed at it, for tests of the service client.
// Declare a LoopbackServer::Gate after the fixture so that handlers are released first.
struct ApiFixture
{
    explicit ApiFixture(QNetworkAccessManager *nam) { services.nam = nam; }
    ~ApiFixture() { qunsetenv("TOLVANE_API_BASE_URL"); }

    void start()
    {
        server.start();
        qputenv("TOLVANE_API_BASE_URL", server.apiBaseUrl().toUtf8());
    }
    void answer(const std::string &pattern, int status, const QByteArray &body, bool post = false)
    {
        auto handler = [status, body](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, status, body);
        };
        post ? server.post(pattern, handler) : server.get(pattern, handler);
    }
    QNetworkRequest request(const QString &path, const QByteArray &authorization = QByteArray()) const
    {
        QNetworkRequest r(QUrl(server.apiBaseUrl() + path));
        if (!authorization.isEmpty())
            r.setRawHeader("Authorization", authorization);
        return r;
    }
    RemoteAPI *api() { return services.remoteAPI(); }

    LoopbackServer server;
    TestServices services;
};

// The program's settings store, kept in a folder of the test's own.
inline void useSettingsStoreIn(const QString &configHome)
{
    qputenv("XDG_CONFIG_HOME", configHome.toLocal8Bit());
    QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
}

// A signed-in account as an earlier run leaves it (the key is stored reversed).
inline void storeLogin(QString key = QStringLiteral("key"), const QString &token = QStringLiteral("tok"),
                       const QString &customersId = QStringLiteral("77"))
{
    std::reverse(key.begin(), key.end());
    QSettings settings;
    settings.setValue(QStringLiteral("login/appKey"), key);
    settings.setValue(QStringLiteral("login/access_token"), token);
    settings.setValue(QStringLiteral("login/customers_id"), customersId);
}

// Waits for a request wrapper's report (replyFinished) and checks that it came once, as given.
inline bool reported(QSignalSpy &spy, bool success, const QJsonValue &message)
{
    if (spy.isEmpty() && !spy.wait(30000))
        return false;
    const bool ok = spy.size() == 1 && spy.first().at(0).toBool() == success
        && spy.first().at(1).value<QJsonValue>() == message;
    if (!ok)
        qWarning() << "reports:" << spy.size() << spy.first().at(0) << spy.first().at(1).value<QJsonValue>();
    return ok;
}

inline QNetworkReply *pendingReply(const QNetworkAccessManager &nam)
{
    for (QNetworkReply *reply : nam.findChildren<QNetworkReply *>()) {
        if (!reply->isFinished())
            return reply;
    }
    return nullptr;
}
