#pragma once

#include "api/networkreplywrapper.h"
#include "api/libraryerrortype.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonValue>
#include <QMap>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;

// The client of the storefront web service: sign-in, library pages, title info and file tasks.
class RemoteAPI : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool loggedIn READ loggedIn NOTIFY loggedInChanged)
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY isRefreshingChanged)
    Q_PROPERTY(QString nameSurname READ nameSurname WRITE setNameSurname NOTIFY nameSurnameChanged)

public:
    explicit RemoteAPI(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~RemoteAPI() override;

    bool loggedIn() const { return !m_appKey.isEmpty(); }
    bool isRefreshing() const;
    QString nameSurname() const { return m_nameSurname; }
    void setNameSurname(const QString &nameSurname);

    QString appKey() const { return m_appKey; }
    QString accessToken() const { return m_accessToken; }
    QString customersId() const { return m_customersId; }
    QNetworkAccessManager *networkAccessManager() const { return m_network; }

    static int booksPerPage();
    static constexpr int kDefaultBooksPerPage = 500;
    // Smaller pages would multiply the requests for no gain.
    static constexpr int kMinBooksPerPage = 10;

    // A request to the service; one that may renew the sign-in does so when the token is refused.
    NetworkReplyWrapper *makeRequest(const QNetworkRequest &request, NetworkReplyWrapper::RequestMethod method,
                                     const QByteArray &body, bool renewTokenOnUnauthorized);
    NetworkReplyWrapper *getTitleInfo(const QString &productId);
    NetworkReplyWrapper *requestDownloadLink(const QByteArray &productId, const QByteArray &bundleId);
    NetworkReplyWrapper *requestLinkProgress(const QString &fileTaskId);

    // The digests a reply names, each with its date; entries without a digest are left out.
    static QMap<QString, QDateTime> checksumsFrom(const QJsonArray &checksums);

    Q_INVOKABLE void doLogin(QString key);
    Q_INVOKABLE void doGetKey(QString email, QString password);
    Q_INVOKABLE void doLogout();
    Q_INVOKABLE void refreshLibrary(int page);
    Q_INVOKABLE void refreshLibrary() { refreshLibrary(1); }

signals:
    void loginFailed();
    void loginSucceeded();
    void getKeyFailed(QString message);
    void getKeySucceeded(QString key);
    void nameSurnameChanged();
    void loggedInChanged();
    void titlesRefreshResult(int page, QJsonArray result);
    void refreshLibraryFinished(bool success);
    void isRefreshingChanged(bool);
    // A logout cancelled the token request that requests waiting for a renewal depend on.
    void tokenRenewalAbandoned();
    // A failure the user is told about in the errors list.
    void errorReported(LibraryErrorType::ErrorType errorType, QString message, qlonglong index);

private slots:
    void onGetKeyReplyFinished(bool success, QJsonValue message);
    void onLoginReplyFinished(bool success, QJsonValue message);
    void onRefreshLibraryReplyFinished(bool success, QJsonValue message);
    void onLibraryInfoReplyFinished(bool success, QJsonValue message);

private:
    void finishRefresh(bool success);
    void announceRefreshEnd(bool success);
    QNetworkRequest serviceRequest(const QString &pathAndQuery, const QByteArray &token) const;
    void renewTokenFor(NetworkReplyWrapper *wrapper);

    QNetworkAccessManager *const m_network;

    QPointer<NetworkReplyWrapper> m_loginRequest;
    QPointer<NetworkReplyWrapper> m_keyRequest;
    QString m_appKey;
    // loggedInChanged() has told of the current sign-in.
    bool m_signInAnnounced = false;
    QString m_accessToken;
    QString m_customersId;
    QString m_nameSurname;
    qint32 m_currentPage = 0;
    qint32 m_pendingTitleInfoRequests = 0;
    // Only the reply to the latest page request counts: an earlier chain's late reply is dropped.
    quint64 m_pageRequestSerial = 0;
    // A chain that ended while title-info requests were pending is announced after the last one.
    bool m_refreshEndPending = false;
    bool m_refreshEndSuccess = false;
};
