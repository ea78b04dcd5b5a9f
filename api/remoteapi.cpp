#include "remoteapi.h"

#include "api/networkreplywrapper.h"
#include "api/secretmask.h"
#include "app/core/constants.h"
#include "app/core/settings.h"
#include "api/libraryerrortype.h"

#include <QDebug>
#include <QJsonObject>
#include <QMetaObject>

#include <memory>
#include <utility>
#include <QSettings>
#include <QUrl>

namespace {

const QString kAccessTokenKey = QStringLiteral("login/access_token");
const QString kCustomersIdKey = QStringLiteral("login/customers_id");
const QString kNameSurnameKey = QStringLiteral("login/name_surname");
const QString kAppKeyKey = QStringLiteral("login/appKey");
const QString kLoginGroup = QStringLiteral("login");
const QString kBooksPerPageKey = QStringLiteral("booksPerPage");

const QByteArray kMultipartBoundary = QByteArrayLiteral("TOLVANE1Q2W8E3R4T5Y");
const QByteArray kJsonContentType = QByteArrayLiteral("application/json");

const QString kTokenPath = QStringLiteral("/token?fields=first_name,last_name,customers_id");
const QString kLibraryPagePath = QStringLiteral(
    "/customers/%1/products?page=%2&per_page=%3&include_archived=0"
    "&fields=products_name,cover_url_fullsize,date_purchased,products_filesize,publishers_name,"
    "products_thumbnail100&embed=files.filename,files.last_modified,files.checksums,"
    "files.raw_filesize_bytes,filters.filters_name,filters.filters_id,filters.parent_id");
const QString kTitleInfoPath = QStringLiteral("/products/%1");
const QString kFileTaskPath =
    QStringLiteral("/file_tasks?fields=last_modified,download_url,file_tasks_id,progress,checksums");
const QString kFileTaskProgressPath = QStringLiteral(
    "/file_tasks/%1?fields=last_modified,download_url,file_tasks_id,progress,checksums,filename");

const int kDateTextLength = 19;

int g_booksPerPage = RemoteAPI::kDefaultBooksPerPage;

QString reversed(const QString &text)
{
    QString result = text;
    std::reverse(result.begin(), result.end());
    return result;
}

QByteArray formField(const QByteArray &name, const QString &value)
{
    return QByteArrayLiteral("--") + kMultipartBoundary + QByteArrayLiteral("\r\n")
           + QByteArrayLiteral("Content-Disposition: form-data; name=\"") + name
           + QByteArrayLiteral("\"\r\n\r\n") + value.toUtf8() + QByteArrayLiteral("\r\n");
}

} // namespace

RemoteAPI::RemoteAPI(QNetworkAccessManager *network, QObject *parent) : QObject(parent), m_network(network)
{
    const QSettings settings;
    m_accessToken = Settings::readSecret(kAccessTokenKey);
    m_customersId = settings.value(kCustomersIdKey).toString();
    m_nameSurname = settings.value(kNameSurnameKey).toString();
    m_appKey = reversed(Settings::readSecret(kAppKeyKey));
    m_signInAnnounced = loggedIn();
    g_booksPerPage = qMax(kMinBooksPerPage, settings.value(kBooksPerPageKey, kDefaultBooksPerPage).toInt());
}

RemoteAPI::~RemoteAPI() = default;

bool RemoteAPI::isRefreshing() const
{
    // Title-info requests alone are not a refresh: every single download outside a sync makes one.
    return m_currentPage > 0 || m_refreshEndPending;
}

void RemoteAPI::setNameSurname(const QString &nameSurname)
{
    if (nameSurname == m_nameSurname)
        return;
    m_nameSurname = nameSurname;
    emit nameSurnameChanged();
}

int RemoteAPI::booksPerPage()
{
    return g_booksPerPage;
}

NetworkReplyWrapper *RemoteAPI::makeRequest(const QNetworkRequest &request, NetworkReplyWrapper::RequestMethod method,
                                            const QByteArray &body, bool renewTokenOnUnauthorized)
{
    auto *wrapper = new NetworkReplyWrapper(m_network, request, method, body, renewTokenOnUnauthorized);
    if (renewTokenOnUnauthorized)
        connect(wrapper, &NetworkReplyWrapper::unauthorized, this, [this, wrapper] { renewTokenFor(wrapper); });
    return wrapper;
}

void RemoteAPI::renewTokenFor(NetworkReplyWrapper *wrapper)
{
    // Each answer reaches the request once; the wrapper's own lifetime ends the connections.
    auto connections = std::make_shared<QList<QMetaObject::Connection>>();
    auto done = [connections] {
        for (const QMetaObject::Connection &connection : qAsConst(*connections))
            disconnect(connection);
    };
    *connections << connect(this, &RemoteAPI::loginSucceeded, wrapper, [this, wrapper, done] {
        done();
        wrapper->retry(m_accessToken);
    });
    *connections << connect(this, &RemoteAPI::loginFailed, wrapper, [wrapper, done] {
        done();
        wrapper->giveUp();
    });
    *connections << connect(this, &RemoteAPI::tokenRenewalAbandoned, wrapper, [wrapper, done] {
        done();
        wrapper->giveUp();
    });
    doLogin(m_appKey);
}

QNetworkRequest RemoteAPI::serviceRequest(const QString &pathAndQuery, const QByteArray &token) const
{
    QNetworkRequest request(QUrl(Constants::apiBaseUrl() + pathAndQuery));
    request.setRawHeader("Authorization", QByteArrayLiteral("Bearer ") + token);
    return request;
}

// ---- Account -------------------------------------------------------------------------------

void RemoteAPI::doGetKey(QString email, QString password)
{
    qDebug().nospace() << "INFO: " << "WebAPI: Get login key; email = " << email << ":"
                       << SecretMask::mask(password);

    const QByteArray body = formField("email_address", email) + formField("password", password)
                            + QByteArrayLiteral("--") + kMultipartBoundary + QByteArrayLiteral("--\r\n");
    QNetworkRequest request{QUrl(Constants::keyRequestUrl())};
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArray(QByteArrayLiteral("multipart/form-data; boundary=") + kMultipartBoundary));
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());

    m_keyRequest = makeRequest(request, NetworkReplyWrapper::Post, body, false);
    connect(m_keyRequest, &NetworkReplyWrapper::replyFinished, this, &RemoteAPI::onGetKeyReplyFinished);
}

void RemoteAPI::onGetKeyReplyFinished(bool success, QJsonValue message)
{
    qDebug() << "RemoteAPI::onGetKeyReplyFinished" << success << SecretMask::loggedJson(message);
    if (success) {
        emit getKeySucceeded(message.toObject().value(QLatin1String("key")).toString());
        return;
    }
    qDebug().nospace() << "ERROR: " << "WebAPI: Get key failed! Message: " << SecretMask::loggedJson(message);
    emit getKeyFailed(message.toString());
}

void RemoteAPI::doLogin(QString key)
{
    // A second request would sign in again once the first answers; the pending one serves both.
    if (m_loginRequest) {
        qDebug().nospace() << "INFO: " << "WebAPI: Login already pending";
        return;
    }
    qDebug().nospace() << "INFO: " << "WebAPI: Login: key: " << SecretMask::mask(key);

    QNetworkRequest request = serviceRequest(kTokenPath, key.toLatin1());
    request.setHeader(QNetworkRequest::ContentTypeHeader, kJsonContentType);
    m_loginRequest = makeRequest(request, NetworkReplyWrapper::Post, QByteArrayLiteral("{}"), false);
    connect(m_loginRequest, &NetworkReplyWrapper::replyFinished, this, &RemoteAPI::onLoginReplyFinished);

    qDebug().nospace() << "INFO: " << "WebAPI: Login request: " << request.url().toString();
    if (!key.isEmpty())
        m_appKey = key;
}

void RemoteAPI::onLoginReplyFinished(bool success, QJsonValue message)
{
    // Answered: the next sign-in may go out even before the wrapper is gone.
    m_loginRequest.clear();
    if (!success) {
        qDebug().nospace() << "ERROR: " << "WebAPI: Login failed! Message: " << SecretMask::loggedJson(message);
        emit loginFailed();
        return;
    }

    const QJsonObject reply = message.toObject();
    m_accessToken = reply.value(QLatin1String("access_token")).toString();
    m_customersId = reply.value(QLatin1String("customers_id")).toString();
    m_nameSurname = reply.value(QLatin1String("first_name")).toString() + QLatin1Char(' ')
                    + reply.value(QLatin1String("last_name")).toString();

    Settings::writeSecret(kAccessTokenKey, m_accessToken);
    Settings::writeSecret(kAppKeyKey, reversed(m_appKey));
    QSettings settings;
    settings.setValue(kCustomersIdKey, m_customersId);
    settings.setValue(kNameSurnameKey, m_nameSurname);
    // The store now holds credentials: readable by the user alone.
    if (!Settings::protectStore(settings)) {
        qDebug().nospace() << "ERROR: " << "WebAPI: Login: the sign-in could not be saved to " << settings.fileName();
        emit errorReported(LibraryErrorType::GeneralError, Settings::storeFailureText(settings), -1);
    }

    emit loginSucceeded();
    emit nameSurnameChanged();
    // A token renewal leaves the signed-in state as it was: nothing for the window to redo.
    if (!std::exchange(m_signInAnnounced, true))
        emit loggedInChanged();
}

void RemoteAPI::doLogout()
{
    const bool renewalPending = !m_loginRequest.isNull();
    if (m_loginRequest) {
        disconnect(m_loginRequest, &NetworkReplyWrapper::replyFinished, this, &RemoteAPI::onLoginReplyFinished);
        m_loginRequest->abort();
        m_loginRequest.clear();
    }

    Settings::removeSecret(kAccessTokenKey);
    Settings::removeSecret(kAppKeyKey);
    QSettings().remove(kLoginGroup);
    m_nameSurname.clear();
    m_appKey.clear();
    m_signInAnnounced = false;

    // Requests that were waiting for a fresh token would otherwise wait for ever.
    if (renewalPending)
        emit tokenRenewalAbandoned();
    emit nameSurnameChanged();
    emit loggedInChanged();
}

// ---- Library refresh -----------------------------------------------------------------------

void RemoteAPI::refreshLibrary(int page)
{
    if (page < 1 || m_currentPage < page - 1)
        return;
    const bool starts = page == 1 && !isRefreshing();
    if (page <= 1)
        m_refreshEndPending = false;
    m_currentPage = page;

    QNetworkRequest request = serviceRequest(
        kLibraryPagePath.arg(m_customersId).arg(page).arg(g_booksPerPage), m_accessToken.toLatin1());
    request.setHeader(QNetworkRequest::ContentTypeHeader, kJsonContentType);
    auto *wrapper = makeRequest(request, NetworkReplyWrapper::Get, QByteArray(), true);
    const quint64 serial = ++m_pageRequestSerial;
    connect(wrapper, &NetworkReplyWrapper::replyFinished, this, [this, serial](bool success, QJsonValue message) {
        if (serial != m_pageRequestSerial) {
            qDebug().nospace() << "INFO: " << "WebAPI: Library refresh: reply of an earlier refresh ignored";
            return;
        }
        onRefreshLibraryReplyFinished(success, message);
    });

    if (starts)
        emit isRefreshingChanged(true);
    qDebug().nospace() << "INFO: " << "WebAPI: Refresh library request: " << request.url().toString();
}

void RemoteAPI::onRefreshLibraryReplyFinished(bool success, QJsonValue message)
{
    if (!success) {
        qDebug().nospace() << "ERROR: " << "WebAPI: Library refresh failed. Reply: " << SecretMask::loggedJson(message);
        m_currentPage = 0;
        finishRefresh(false);
        emit errorReported(LibraryErrorType::RefreshLibraryError, QString(), -1);
        return;
    }

    qDebug().nospace() << "INFO: " << "WebAPI: Library refresh succeeded. Reply: " << SecretMask::loggedJson(message);
    const QJsonArray page = message.toArray();
    if (!page.isEmpty())
        emit titlesRefreshResult(m_currentPage, page);
    if (page.size() != g_booksPerPage) {
        m_currentPage = 0;
        finishRefresh(true);
        return;
    }
    qDebug().nospace() << "INFO: " << "WebAPI: Library refresh: getting next page";
    refreshLibrary(m_currentPage + 1);
}

void RemoteAPI::finishRefresh(bool success)
{
    if (m_currentPage >= 1)
        return;
    if (m_pendingTitleInfoRequests >= 1) {
        m_refreshEndPending = true;
        m_refreshEndSuccess = success;
        return;
    }
    announceRefreshEnd(success);
}

void RemoteAPI::announceRefreshEnd(bool success)
{
    m_refreshEndPending = false;
    qDebug().nospace() << "INFO: " << "WebAPI: Library refresh finished";
    emit isRefreshingChanged(false);
    emit refreshLibraryFinished(success);
}

NetworkReplyWrapper *RemoteAPI::getTitleInfo(const QString &productId)
{
    ++m_pendingTitleInfoRequests;

    QNetworkRequest request = serviceRequest(kTitleInfoPath.arg(productId), m_accessToken.toLatin1());
    request.setHeader(QNetworkRequest::ContentTypeHeader, kJsonContentType);
    auto *wrapper = makeRequest(request, NetworkReplyWrapper::Get, QByteArray(), true);
    connect(wrapper, &NetworkReplyWrapper::replyFinished, this, &RemoteAPI::onLibraryInfoReplyFinished);

    qDebug().nospace() << "INFO: " << "WebAPI: Get title info request: " << request.url().toString();
    return wrapper;
}

void RemoteAPI::onLibraryInfoReplyFinished(bool, QJsonValue)
{
    if (m_pendingTitleInfoRequests > 0)
        --m_pendingTitleInfoRequests;
    if (m_pendingTitleInfoRequests > 0)
        return;
    qDebug().nospace() << "INFO: " << "WebAPI: onLibraryInfoReplyFinished";
    if (m_currentPage >= 1)
        return;
    if (m_refreshEndPending)
        announceRefreshEnd(m_refreshEndSuccess);
}

// ---- File tasks ----------------------------------------------------------------------------

NetworkReplyWrapper *RemoteAPI::requestDownloadLink(const QByteArray &productId, const QByteArray &bundleId)
{
    QNetworkRequest request = serviceRequest(kFileTaskPath, m_accessToken.toLatin1());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    const QByteArray body = QByteArrayLiteral("products_id=") + productId + QByteArrayLiteral("&bundle_id=") + bundleId;

    qDebug().nospace() << "INFO: " << "WebAPI: Download link request: " << request.url().toString()
                       << " Method: POST: " << body;
    const QList<QByteArray> headers = request.rawHeaderList();
    for (const QByteArray &name : headers)
        qDebug().nospace() << "INFO: " << "RawHeader " << name << " : "
                           << SecretMask::maskHeaderValue(name, request.rawHeader(name));

    NetworkReplyWrapper *wrapper = makeRequest(request, NetworkReplyWrapper::Post, body, true);
    // A second file task for the same file is harmless; failing the file on a hiccup is not.
    wrapper->setRetryTransientFailures(true);
    return wrapper;
}

NetworkReplyWrapper *RemoteAPI::requestLinkProgress(const QString &fileTaskId)
{
    const QNetworkRequest request = serviceRequest(kFileTaskProgressPath.arg(fileTaskId), m_accessToken.toLatin1());
    qDebug().nospace() << "INFO: " << "WebAPI: Download link request: " << request.url().toString()
                       << " Method: GET";
    NetworkReplyWrapper *wrapper = makeRequest(request, NetworkReplyWrapper::Get, QByteArray(), true);
    wrapper->setRetryTransientFailures(true);
    return wrapper;
}

QMap<QString, QDateTime> RemoteAPI::checksumsFrom(const QJsonArray &checksums)
{
    QMap<QString, QDateTime> hashes;
    for (const QJsonValue &entry : checksums) {
        const QJsonObject object = entry.toObject();
        const QString digest = object.value(QLatin1String("checksum")).toString();
        // An entry without a digest would let a file whose hash is not yet known pass the check.
        if (digest.isEmpty())
            continue;
        const QString date = object.value(QLatin1String("checksum_date")).toString().left(kDateTextLength);
        // Local digests are lower-case hex; some services answer in upper case.
        hashes.insert(digest.toLower(), QDateTime::fromString(date, Constants::PlainDateFormat));
    }
    return hashes;
}
