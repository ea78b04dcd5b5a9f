#include "applicationupdater.h"

#include "api/networkreplywrapper.h"
#include "app/core/constants.h"
#include "api/updatemanifest.h"

#include <QDebug>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QTemporaryFile>

namespace {

// The package installer recognises a package by its name.
const QString kPackageSuffix = QStringLiteral("_XXXXXX.deb");

QNetworkRequest plainRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    // Each hop is checked here, whatever the shared manager's own policy.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    return request;
}

int statusOf(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// The absolute target of a redirect reply, or an empty URL when the reply is none.
QUrl redirectTarget(const QNetworkReply *reply)
{
    const int status = statusOf(reply);
    const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (status < 301 || status > 399 || !target.canConvert<QUrl>() || target.toUrl().isEmpty())
        return {};
    return reply->url().resolved(target.toUrl());
}

// A redirect may not lead from https to anything less.
bool redirectAllowed(const QUrl &from, const QUrl &to)
{
    if (!NetworkReplyWrapper::isSecureEnough(to))
        return false;
    return from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0
        || to.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

QDateTime buildDate()
{
    return QDateTime::fromString(Constants::BuildDate, Constants::PlainDateFormat);
}

void dropReply(QPointer<QNetworkReply> &slot, QObject *receiver)
{
    if (QNetworkReply *reply = slot.data()) {
        slot.clear();
        reply->disconnect(receiver);
        reply->abort();
        reply->deleteLater();
    }
}

} // namespace

ApplicationUpdater::ApplicationUpdater(QNetworkAccessManager *manager, const QUrl &manifestUrl,
                                       const QString &handOver, QObject *parent)
    : QObject(parent), m_manager(manager), m_manifestUrl(manifestUrl), m_handOver(handOver)
{
}

ApplicationUpdater::~ApplicationUpdater()
{
    dropReply(m_checkReply, this);
    dropDownload();
}

void ApplicationUpdater::setDialog(QObject *dialog)
{
    if (m_dialog || !dialog)
        return;
    m_dialog = dialog;
    connect(dialog, SIGNAL(yes()), this, SLOT(onYesClicked()));
    connect(dialog, SIGNAL(no()), this, SLOT(onNoClicked()));
    connect(dialog, SIGNAL(cancel()), this, SLOT(onCancelClicked()));
}

void ApplicationUpdater::setChecking(bool checking)
{
    if (m_checking == checking)
        return;
    m_checking = checking;
    emit checkingChanged();
}

void ApplicationUpdater::setDownloading(bool downloading)
{
    if (m_downloading == downloading)
        return;
    m_downloading = downloading;
    emit downloadingChanged();
}

void ApplicationUpdater::setProgress(int progress)
{
    if (m_progress == progress)
        return;
    m_progress = progress;
    emit progressChanged();
}

void ApplicationUpdater::setMaxInstallerSize(qint64 bytes)
{
    m_maxInstallerSize = bytes > 0 ? bytes : kMaxInstallerSize;
}

void ApplicationUpdater::checkUpdates(bool notifyNoUpdates)
{
    if (m_checking)
        return;
    m_notifyNoUpdates = notifyNoUpdates;
    failCheck(QString());
    qDebug().nospace() << "INFO: " << "ApplicationUpdater: Check updates";
    m_redirects = 0;
    if (sendCheck(m_manifestUrl))
        setChecking(true);
    else
        failCheck(tr("The update information could not be fetched."));
}

bool ApplicationUpdater::sendCheck(const QUrl &url)
{
    if (!m_manager) {
        qDebug().nospace() << "ERROR: " << "ApplicationUpdater: No network access";
        return false;
    }
    if (!NetworkReplyWrapper::isSecureEnough(url)) {
        qDebug().nospace() << "ERROR: " << "ApplicationUpdater: Update manifest refused, it would travel unencrypted: "
                           << url.toString();
        return false;
    }
    QNetworkReply *reply = m_manager->get(plainRequest(url));
    m_checkReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onCheckFinished(reply); });
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64 total) {
        if (received > kMaxManifestSize || total > kMaxManifestSize)
            reply->abort();
    });
    return true;
}

void ApplicationUpdater::onCheckFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    m_checkReply.clear();
    const QUrl next = redirectTarget(reply);
    if (!next.isEmpty()) {
        if (++m_redirects > kMaxRedirects)
            qDebug().nospace() << "ERROR: " << "ApplicationUpdater: Too many redirects for the update manifest";
        else if (!redirectAllowed(reply->url(), next))
            qDebug().nospace() << "ERROR: " << "ApplicationUpdater: Update manifest redirect refused: "
                               << next.toString();
        else if (sendCheck(next))
            return;
        failCheck(tr("The update information could not be fetched."));
        setChecking(false);
        return;
    }

    // An error page is no manifest, whatever its lines say.
    const bool received = reply->error() == QNetworkReply::NoError;
    const QByteArray body = received ? reply->readAll() : QByteArray();
    qDebug() << QString::fromUtf8(body);
    const UpdateManifest manifest = UpdateManifest::parse(body, reply->url());
    m_version = manifest.version();
    m_date = manifest.date();
    m_downloadUrl = manifest.downloadUrl();
    qDebug().nospace() << "INFO: " << "ApplicationUpdater: Update version:" << m_version;
    qDebug().nospace() << "INFO: " << "ApplicationUpdater: Update date:" << m_date;
    qDebug().nospace() << "INFO: " << "ApplicationUpdater: Update download URL:" << m_downloadUrl;

    if (!received) {
        failCheck(reply->errorString());
    } else if (!manifest.isValid()) {
        failCheck(tr("The update information could not be read."));
    } else if (manifest.isNewerThan(buildDate())) {
        if (!manifest.downloadIsSecure()) {
            qDebug().nospace() << "ERROR: " << "ApplicationUpdater: Update download URL refused: "
                               << m_downloadUrl.toString();
            failCheck(tr("The update is not offered over a secure connection."));
        } else {
            qDebug().nospace() << "INFO: " << "ApplicationUpdater: A newer update avialable";
            invokeDialog("open");
        }
    } else if (m_notifyNoUpdates) {
        qDebug().nospace() << "INFO: " << "ApplicationUpdater: No updates available";
    }
    setChecking(false);
}

void ApplicationUpdater::failCheck(const QString &reason)
{
    if (reason != m_checkError) {
        m_checkError = reason;
        emit checkErrorChanged();
    }
}

void ApplicationUpdater::onYesClicked()
{
    qDebug().nospace() << "INFO: " << "ApplicationUpdater: Application update confirmed";
    if (!selfUpdate()) {
        // The page the package is listed on; the package itself is the packager's to deliver.
        emit downloadPageRequested(m_downloadUrl.resolved(QUrl(QStringLiteral("."))));
        invokeDialog("close");
        return;
    }
    dropDownload();
    m_file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QLatin1Char('/') + Constants::ApplicationName
                                              + kPackageSuffix);
    m_file->setAutoRemove(false);
    setDownloadError(QString());
    m_downloading = true;
    m_progress = 0;
    emit progressChanged();
    emit downloadingChanged();
    m_redirects = 0;
    m_tooLarge = false;
    m_written = 0;
    download(m_downloadUrl);
}

void ApplicationUpdater::download(const QUrl &url)
{
    if (!m_manager || !NetworkReplyWrapper::isSecureEnough(url)) {
        failDownload(QStringLiteral("address refused: ") + url.toString());
        return;
    }
    QNetworkReply *reply = m_manager->get(plainRequest(url));
    reply->setReadBufferSize(kReadBufferSize);
    m_reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { onDownloadReadyRead(reply); });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply](qint64 received, qint64 total) { onDownloadProgress(reply, received, total); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onDownloadFinished(reply); });
}

void ApplicationUpdater::onDownloadReadyRead(QNetworkReply *reply)
{
    if (!redirectTarget(reply).isEmpty() || !m_file) {
        reply->skip(reply->bytesAvailable());
        return;
    }
    if (!m_file->isOpen() && !m_file->open()) {
        qDebug().nospace() << "ERROR: " << "ApplicationUpdater: Cannot create the update file: "
                           << m_file->errorString();
        reply->abort();
        return;
    }
    QByteArray chunk(int(kReadBufferSize), Qt::Uninitialized);
    while (reply->bytesAvailable() > 0) {
        const qint64 read = reply->read(chunk.data(), chunk.size());
        if (read <= 0)
            break;
        if (m_written + read > m_maxInstallerSize) {
            m_tooLarge = true;
            reply->abort();
            return;
        }
        if (m_file->write(chunk.constData(), read) != read) {
            reply->abort();
            return;
        }
        m_written += read;
    }
}

void ApplicationUpdater::onDownloadProgress(QNetworkReply *reply, qint64 received, qint64 total)
{
    if (total < 1 || !redirectTarget(reply).isEmpty())
        return;
    if (total > m_maxInstallerSize) {
        m_tooLarge = true;
        reply->abort();
        return;
    }
    m_progress = int(received * 100 / total);
    emit progressChanged();
}

void ApplicationUpdater::onDownloadFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    m_reply.clear();
    const QUrl next = redirectTarget(reply);
    if (!next.isEmpty()) {
        qDebug().nospace() << "INFO: " << "ApplicationUpdater: Download redirect";
        if (++m_redirects > kMaxRedirects)
            failDownload(QStringLiteral("too many redirects"));
        else if (!redirectAllowed(reply->url(), next))
            failDownload(QStringLiteral("redirect refused: ") + next.toString());
        else
            download(next);
        return;
    }

    const int status = statusOf(reply);
    const QString fileName = m_file ? m_file->fileName() : QString();
    qDebug().nospace() << "INFO: " << "ApplicationUpdater: Download finished: status:" << status
                       << "; filename:" << fileName;
    if (m_tooLarge) {
        failDownload(QStringLiteral("the installer is larger than %1 bytes").arg(m_maxInstallerSize));
    } else if (status != 200 || reply->error() != QNetworkReply::NoError) {
        failDownload(QStringLiteral("status %1, %2").arg(status).arg(reply->errorString()));
    } else if (!m_file || !m_file->isOpen() || m_file->size() == 0 || !m_file->flush()) {
        failDownload(QStringLiteral("no installer received"));
    } else {
        handOver();
    }
}

void ApplicationUpdater::handOver()
{
    const QString path = m_file->fileName();
    m_file->close();
    // The hand-over installs the package and removes it; from here the file is its own.
    if (!QProcess::startDetached(m_handOver, {path})) {
        qDebug().nospace() << "ERROR: " << "ApplicationUpdater: Cannot start the update hand-over: " << m_handOver;
        m_file->remove();
        m_file.reset();
        setDownloadError(tr("The update could not be installed. Please install it from the download page."));
        return;
    }
    m_file.reset();
    qDebug().nospace() << "INFO: " << "ApplicationUpdater: Update handed over: " << path;
    emit installerStarted();
}

void ApplicationUpdater::failDownload(const QString &reason)
{
    removeFile();
    qDebug().nospace() << "ERROR: " << "ApplicationUpdater: Update download failed: " << reason;
    setDownloadError(tr("The update could not be downloaded."));
}

void ApplicationUpdater::dropDownload()
{
    dropReply(m_reply, this);
    removeFile();
}

void ApplicationUpdater::removeFile()
{
    // Unopened, the file was never created.
    if (m_file && m_file->isOpen())
        m_file->remove();
    m_file.reset();
}

void ApplicationUpdater::onNoClicked()
{
    invokeDialog("close");
}

void ApplicationUpdater::onCancelClicked()
{
    qDebug().nospace() << "INFO: " << "ApplicationUpdater: Application update declined";
    if (m_downloading) {
        dropDownload();
        setDownloadError(QString());
        setDownloading(false);
    }
    invokeDialog("close");
}

void ApplicationUpdater::setDownloadError(const QString &text)
{
    if (m_downloadError == text)
        return;
    m_downloadError = text;
    emit downloadErrorChanged();
}

void ApplicationUpdater::invokeDialog(const char *method)
{
    if (m_dialog)
        QMetaObject::invokeMethod(m_dialog, method);
}
