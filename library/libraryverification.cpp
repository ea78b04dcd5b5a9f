#include "libraryverification.h"

#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "downloads/transfertext.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"

#include <QElapsedTimer>
#include <QTimer>

#include <utility>

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
    if (running())
        return;
    m_entries.clear();
    m_files.clear();
    m_nextRow = 0;
    m_full = full;
    m_gathering = true;
    m_progress = LibraryVerifier::Progress();
    m_hasResult = false;
    m_cancelled = false;
    announceStateChanged();
    gather();
}

// A library of tens of thousands of files takes longer to list than one turn of the event loop
// may: the list is made a slice at a time.
void LibraryVerification::gather()
{
    if (!m_gathering)
        return;
    QElapsedTimer slice;
    slice.start();
    while (m_nextRow < m_library->rowCount()) {
        LibraryItem *item = m_library->itemAt(m_nextRow++);
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
            m_entries.append(entry);
            m_files.append(file);
        }
        if (slice.elapsed() >= kGatherSliceMs) {
            m_progress.files = m_entries.size();
            emit progressChanged();
            QTimer::singleShot(0, this, &LibraryVerification::gather);
            return;
        }
    }
    m_gathering = false;
    m_progress.files = m_entries.size();
    m_verifier.start(std::exchange(m_entries, {}), m_full);
    emit progressChanged();
}

void LibraryVerification::cancel()
{
    if (m_gathering) {
        // Nothing was read yet: a stop here ends the check with nothing found.
        m_gathering = false;
        m_files.clear();
        m_entries.clear();
        m_progress = LibraryVerifier::Progress();
        m_cancelled = true;
        m_hasResult = true;
        announceStateChanged();
        return;
    }
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
    announceStateChanged();
    if (!cancelled)
        emit finished(m_summary.good, m_summary.changed, m_summary.missing);
}

// Whether a check runs, how far it is and what it found change together as it starts and ends.
void LibraryVerification::announceStateChanged()
{
    emit runningChanged();
    emit progressChanged();
    emit resultChanged();
}
