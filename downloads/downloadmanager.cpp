// Placeholder until the download queue lands.
#include "downloadmanager.h"

DownloadManager::DownloadManager(QObject *parent) : QObject(parent) {}
DownloadManager::~DownloadManager() = default;
void DownloadManager::setFileStatus(LibraryFile *file, LibraryFile::Status status) { file->setStatus(status); }
void DownloadManager::processQueue() {}
void DownloadManager::stopAll() {}
void DownloadManager::cancelAll() {}
int DownloadManager::downloadsRemain() const { return m_activeFiles.size() + m_queue.size(); }
int DownloadManager::syncingProgress() const { return -1; }
void DownloadManager::updateSyncingProgress() {}
void DownloadManager::startNext() {}
void DownloadManager::updateDownloadsRemain() {}
