#include "libraryverification.h"

#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "downloads/transfertext.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"

namespace {

bool recordedOnDisk(LibraryFile::Status status)
{
    return status == LibraryFile::Downloaded || status == LibraryFile::Local || status == LibraryFile::UpdateAvailable;
}

} // namespace

LibraryVerification::LibraryVerification(OnlineLibrary *library, DownloadManager *manager, const QString &cachePath,
                                         QObject *parent)
    : QObject(parent), m_library(library), m_manager(manager), m_verifier(cachePath)
{
    connect(&m_verifier, &LibraryVerifier::progressed, this, [this](const LibraryVerifier::Progress &progress) {
        m_progress = progress;
        emit progressChanged();
    });
    connect(&m_verifier, &LibraryVerifier::finished, this,
            [this](const QVector<LibraryVerifier::Entry> &entries, bool cancelled) { onFinished(entries, cancelled); });
}

double LibraryVerification::fraction() const
{
    if (m_progress.bytes > 0)
        return double(m_progress.bytesDone) / double(m_progress.bytes);
    return m_progress.files > 0 ? double(m_progress.filesDone) / double(m_progress.files) : 0.0;
}

QString LibraryVerification::progressText() const
{
    QString text = tr("%1 of %n file(s)", nullptr, m_progress.files).arg(m_progress.filesDone);
    if (m_progress.bytes > 0)
        text += QStringLiteral(", ")
            + tr("%1 of %2").arg(TransferText::size(m_progress.bytesDone), TransferText::size(m_progress.bytes));
    if (m_progress.secondsLeft > 0)
        text += QStringLiteral(", ") + TransferText::timeLeft(m_progress.secondsLeft);
    return text;
}

QString LibraryVerification::resultText() const
{
    if (!m_hasResult)
        return QString();
    if (m_cancelled)
        return tr("The check was stopped after %n file(s).", nullptr, m_progress.filesDone);
    return tr("%1 good, %2 changed, %3 missing").arg(m_summary.good).arg(m_summary.changed).arg(m_summary.missing);
}

void LibraryVerification::start(bool full)
{
    if (m_verifier.isRunning())
        return;
    QVector<LibraryVerifier::Entry> entries;
    m_files.clear();
    for (int row = 0; row < m_library->rowCount(); ++row) {
        LibraryItem *item = m_library->itemAt(row);
        // Files still in their saved form are all remote.
        if (!item || item->filesPending())
            continue;
        ItemFilesModel *model = item->filesModel();
        for (int i = 0; i < model->count(); ++i) {
            LibraryFile *file = model->fileAt(i);
            if (!file || !recordedOnDisk(file->status()))
                continue;
            LibraryVerifier::Entry entry;
            entry.path = file->filePath();
            entry.hashes = file->hashes();
            entry.recordedHash = file->localFileHash().toLower();
            entry.updateAvailable = file->status() == LibraryFile::UpdateAvailable;
            entries.append(entry);
            m_files.append(file);
        }
    }
    m_progress = LibraryVerifier::Progress();
    m_progress.files = entries.size();
    m_hasResult = false;
    m_cancelled = false;
    m_verifier.start(entries, full);
    emit runningChanged();
    emit progressChanged();
    emit resultChanged();
}

void LibraryVerification::cancel()
{
    m_verifier.cancel();
}

void LibraryVerification::onFinished(const QVector<LibraryVerifier::Entry> &entries, bool cancelled)
{
    m_summary = LibraryVerifier::summarize(entries);
    m_cancelled = cancelled;
    m_hasResult = true;
    for (int i = 0; i < entries.size() && i < m_files.size(); ++i) {
        const LibraryVerifier::Entry &entry = entries.at(i);
        LibraryFile *file = m_files.at(i);
        if (!file || !entry.checked || entry.verdict == LibraryVerifier::Verdict::Good)
            continue;
        // A file the customer started again meanwhile is left to that transfer.
        if (!recordedOnDisk(file->status()))
            continue;
        const QString name = file->serverFileName();
        const QString message = entry.verdict == LibraryVerifier::Verdict::Missing
            ? tr("\"%1\" is missing from the disk; it is marked for download again.").arg(name)
            : tr("\"%1\" has changed on the disk; it is marked for download again.").arg(name);
        if (entry.verdict == LibraryVerifier::Verdict::Missing)
            file->clearLocalFile();
        m_manager->setFileStatus(file, LibraryFile::Remote);
        m_manager->reportFileError(file, message);
    }
    m_files.clear();
    emit runningChanged();
    emit progressChanged();
    emit resultChanged();
    if (!cancelled)
        emit finished(m_summary.good, m_summary.changed, m_summary.missing);
}
