// Placeholder until the transfer lands.
#include "downloader.h"

#include "libraryfile.h"

namespace {
int g_pollIntervalMs = 1000;
}

Downloader::Downloader(LibraryFile *file) : QObject(file), m_file(file) {}
Downloader::~Downloader() = default;
void Downloader::start() {}
void Downloader::pause() {}
void Downloader::cancel() {}
void Downloader::setPollIntervalMs(int ms) { g_pollIntervalMs = ms; }
int Downloader::pollIntervalMs() { return g_pollIntervalMs; }
void Downloader::download(QNetworkRequest) {}
void Downloader::setError(QNetworkReply::NetworkError) {}
void Downloader::onDownloadProgress(qlonglong, qlonglong) {}
void Downloader::onDownloadReadyRead() {}
void Downloader::proceedDownloadFinished() {}
void Downloader::onRequestDownloadLinkFinished(bool, QJsonValue) {}
void Downloader::onRequestLinkProgressFinished(bool, QJsonValue) {}
