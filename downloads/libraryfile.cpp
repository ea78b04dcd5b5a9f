// Placeholder until the library file lands.
#include "libraryfile.h"

#include "downloader.h"

LibraryFile::LibraryFile(LibraryItem *item) : m_item(item) {}
LibraryFile::~LibraryFile() = default;
Downloader *LibraryFile::downloader() const { return m_downloader; }
void LibraryFile::setLocalDir(const QString &dir) { m_localDir = dir; emit localDirChanged(dir); }
void LibraryFile::setStatus(Status status) { if (status != m_status) { m_status = status; emit statusChanged(this); } }
void LibraryFile::setServerFileName(const QString &name) { m_serverFileName = name; }
void LibraryFile::setLocalFileName(const QString &name) { m_localFileName = name; emit localFileNameChanged(); }
void LibraryFile::setLocalFileHash(const QString &hash) { m_localFileHash = hash; }
void LibraryFile::setFoundFilePath(const QString &path) { m_foundFilePath = path; }
void LibraryFile::setErrorMessage(const QString &message) { m_errorMessage = message; }
void LibraryFile::setBundleId(int id) { m_bundleId = id; }
void LibraryFile::setLastModified(const QDateTime &time) { m_lastModified = time; }
void LibraryFile::setLocalLastModified(const QDateTime &time) { m_localLastModified = time; }
void LibraryFile::setTotalSize(qint64 size) { m_totalSize = size; }
void LibraryFile::setDlSize(qint64 size) { m_dlSize = size; }
void LibraryFile::setDownloadProgress(double progress) { m_downloadProgress = progress; }
void LibraryFile::setDownloadedSize(qint64 size) { m_downloadedSize = size; }
QString LibraryFile::hashesMap() const { return QString(); }
void LibraryFile::setHashesMap(const QString &) {}
void LibraryFile::setHashes(const QMap<QString, QDateTime> &hashes) { m_hashes = hashes; }
QString LibraryFile::downloadPath() const { return QString(); }
QString LibraryFile::productFolder() const { return QString(); }
QString LibraryFile::filePath() const { return m_foundFilePath.isEmpty() ? downloadPath() : m_foundFilePath; }
QByteArray LibraryFile::productId() const { return QByteArray(); }
QString LibraryFile::sanitizeFileName(const QString &name) { return name; }
void LibraryFile::clearLocalFile() {}
bool LibraryFile::renameOldFile() { return true; }
void LibraryFile::updateRename() {}
void LibraryFile::updateReplace() {}
bool LibraryFile::updateLocalFile(Status, const QString &, const QString &, const QString &) { return false; }
QJsonValue LibraryFile::toJson() const { return QJsonValue(); }
void LibraryFile::fromJson(const QJsonValue &) {}
void LibraryFile::stopDownload() {}
void LibraryFile::suspendDownloader() {}
void LibraryFile::startDownload() {}
void LibraryFile::pauseDownload() {}
void LibraryFile::resumeDownload() {}
void LibraryFile::cancelDownload() {}
void LibraryFile::openInDefaultViewer() {}
void LibraryFile::deleteFile() {}
void LibraryFile::askAndDeleteFile() {}
void LibraryFile::updateDownload() {}
void LibraryFile::onDownloadedProgress(double progress) { m_downloadProgress = progress; }
