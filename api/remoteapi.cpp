// Placeholder until the service client lands.
#include "remoteapi.h"

#include "networkreplywrapper.h"

RemoteAPI::RemoteAPI(QObject *parent) : QObject(parent) {}
RemoteAPI::~RemoteAPI() = default;
bool RemoteAPI::isRefreshing() const { return m_currentPage > 0 || m_pendingTitleInfoRequests > 0; }
void RemoteAPI::setNameSurname(const QString &nameSurname) { m_nameSurname = nameSurname; }
int RemoteAPI::booksPerPage() { return 500; }
NetworkReplyWrapper *RemoteAPI::getTitleInfo(const QString &) { return nullptr; }
NetworkReplyWrapper *RemoteAPI::requestDownloadLink(const QByteArray &, const QByteArray &) { return nullptr; }
NetworkReplyWrapper *RemoteAPI::requestLinkProgress(const QString &) { return nullptr; }
bool RemoteAPI::updateFileChecksums(const QJsonArray &, LibraryFile *) { return false; }
bool RemoteAPI::localHashMatches(LibraryFile *) { return false; }
void RemoteAPI::doLogin(QString) {}
void RemoteAPI::doGetKey(QString, QString) {}
void RemoteAPI::doLogout() {}
void RemoteAPI::refreshLibrary(int) {}
void RemoteAPI::onGetKeyReplyFinished(bool, QJsonValue) {}
void RemoteAPI::onLoginReplyFinished(bool, QJsonValue) {}
void RemoteAPI::onRefreshLibraryReplyFinished(bool, QJsonValue) {}
void RemoteAPI::onLibraryInfoReplyFinished(bool, QJsonValue) {}
void RemoteAPI::finishRefresh(bool) {}
