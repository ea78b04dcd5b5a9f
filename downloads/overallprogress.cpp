#include "overallprogress.h"

#include "downloads/downloadmanager.h"
#include "downloads/transfertext.h"

#include <QTimer>

OverallProgress::OverallProgress(DownloadManager *manager, QObject *parent)
    : QObject(parent), m_manager(manager), m_sampleTimer(new QTimer(this))
{
    m_sampleTimer->setInterval(TransferRateMeter::kSampleIntervalMs);
    connect(m_sampleTimer, &QTimer::timeout, this, &OverallProgress::sample);
    connect(manager, &DownloadManager::transferEnded, this,
            [this](LibraryFile::Status status) { onTransferEnded(status); });
    connect(manager, &DownloadManager::downloadsRemainChanged, this, &OverallProgress::onRemainChanged);
    connect(manager, &DownloadManager::syncingProgressChanged, this, &OverallProgress::changed);
    // The counts outlive the batch until the next one starts: the manager tells that nothing
    // remains before it tells that all is finished.
    connect(manager, &DownloadManager::allDownloadsFinished, this, [this] {
        if (m_reported || m_downloaded + m_failed == 0)
            return;
        m_reported = true;
        emit finished(m_downloaded, m_failed);
    });
}

int OverallProgress::filesAll() const
{
    return filesDone() + m_manager->downloadsRemain();
}

qint64 OverallProgress::bytesDone() const
{
    return m_running ? m_manager->batchBytesDone() : 0;
}

qint64 OverallProgress::bytesAll() const
{
    return m_running ? m_manager->batchBytesTotal() : 0;
}

int OverallProgress::secondsLeft() const
{
    return m_running ? m_meter.secondsLeft(bytesAll() - bytesDone()) : -1;
}

QString OverallProgress::text() const
{
    if (!m_running)
        return QString();
    QString line = tr("%1 of %2 files").arg(filesDone()).arg(filesAll());
    if (bytesAll() > 0)
        line += QStringLiteral(", ") + tr("%1 of %2").arg(TransferText::size(bytesDone()), TransferText::size(bytesAll()));
    const QString speed = TransferText::summary(rate(), secondsLeft());
    if (!speed.isEmpty())
        line += QStringLiteral(", ") + speed;
    return line;
}

void OverallProgress::onTransferEnded(int status)
{
    if (status == LibraryFile::Downloaded)
        ++m_downloaded;
    else if (status == LibraryFile::DownloadError)
        ++m_failed;
    emit changed();
}

void OverallProgress::onRemainChanged()
{
    const bool pending = m_manager->downloadsRemain() > 0;
    if (pending && !m_running) {
        m_running = true;
        m_downloaded = 0;
        m_failed = 0;
        m_reported = false;
        m_clock.start();
        m_meter.reset(0, m_manager->batchBytesDone());
        m_sampleTimer->start();
    } else if (!pending && m_running) {
        m_running = false;
        m_sampleTimer->stop();
        m_meter.reset(0, 0);
    }
    emit changed();
}

void OverallProgress::sample()
{
    m_meter.addSample(m_clock.elapsed(), m_manager->batchBytesDone());
    emit changed();
}
