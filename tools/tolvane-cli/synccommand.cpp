#include "synccommand.h"

#include "api/remoteapi.h"
#include "app/core/librarysync.h"
#include "app/core/instanceguard.h"
#include "app/core/settings.h"
#include "cliexitcode.h"
#include "cliservices.h"
#include "console.h"
#include "downloads/downloadmanager.h"
#include "downloads/filesystemops.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "stopsignals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

bool isPresentStatus(LibraryFile::Status status)
{
    return status == LibraryFile::Downloaded || status == LibraryFile::Local || status == LibraryFile::UpdateAvailable;
}

bool isPending(const LibraryFile *file)
{
    return file->status() == LibraryFile::Queued || file->status() == LibraryFile::Downloading;
}

} // namespace

QString SyncCommand::storeName()
{
    return QStringLiteral("cli-library");
}

QString SyncCommand::relativePath(const LibraryFile *file)
{
    const QString name = file->localFileName().isEmpty() ? file->serverFileName() : file->localFileName();
    return file->productFolder() + QLatin1Char('/') + LibraryFile::sanitizeFileName(name);
}

SyncCommand::SyncCommand(CliServices *services, Console *console, StopSignals *stopSignals, const QString &dir,
                         QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_console(console)
    , m_dir(QDir::cleanPath(QDir(dir).absolutePath()))
    , m_library(services->fileActions())
{
    m_library.setStoreName(storeName());
    connect(&m_library, &OnlineLibrary::saveFailed, this, [this](const QString &message) {
        if (message != m_saveError)
            m_console->error(message);
        m_saveError = message;
    });
    connect(stopSignals, &StopSignals::stopRequested, this, &SyncCommand::stop);
    m_progressTimer.setInterval(kProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &SyncCommand::showProgress);
    m_guardTimer.setInterval(kGuardPollMs);
    connect(&m_guardTimer, &QTimer::timeout, this, [this] {
        if (InstanceGuard::takeRaiseRequest())
            m_console->error(tr("the program was started on this profile; it stays closed while this sync runs"));
    });
}

SyncCommand::~SyncCommand() = default;

int SyncCommand::run()
{
    if (!QDir().mkpath(m_dir) || !QFileInfo(m_dir).isWritable()) {
        m_console->error(tr("cannot write to the library folder %1").arg(QDir::toNativeSeparators(m_dir)));
        return CliExitCode::Failed;
    }
    m_services->prepareDownloads(m_dir);
    Settings *settings = m_services->settings();
    // The store is read as it stands; the program's own limits apply here too.
    settings->setSimultaneousDownloads(settings->simultaneousDownloads());
    // Files left queued wait until the refresh has told what is current, instead of starting
    // with what the last run knew.
    m_library.load();

    RemoteAPI *api = m_services->remoteAPI();
    connect(api, &RemoteAPI::titlesRefreshResult, &m_library, &OnlineLibrary::onTitlesRefreshResult);
    connect(api, &RemoteAPI::refreshLibraryFinished, this, &SyncCommand::onRefreshFinished);
    m_guardTimer.start();
    m_clock.start();
    api->refreshLibrary(1);
    QCoreApplication::exec();
    return m_exitCode;
}

template<typename Function>
void SyncCommand::forEachFile(Function function) const
{
    for (int row = 0; row < m_library.rowCount(); ++row) {
        const QList<LibraryFile *> files = m_library.itemAt(row)->filesModel()->files();
        for (LibraryFile *file : files)
            function(file);
    }
}

void SyncCommand::onRefreshFinished(bool success)
{
    disconnect(m_services->remoteAPI(), nullptr, this, nullptr);
    disconnect(m_services->remoteAPI(), nullptr, &m_library, nullptr);
    if (m_ended)
        return;
    if (!success) {
        m_console->error(tr("the library could not be read from the storefront"));
        end(CliExitCode::Failed);
        return;
    }
    m_library.onTitlesRefreshFinished();
    reconcileWithDisk();
    if (!checkFreeSpace()) {
        end(CliExitCode::Failed);
        return;
    }
    queueDownloads();
}

// The saved library speaks of the folder it was synced into last time; what counts is what
// lies in this folder now. A copy that is gone, or was made elsewhere, is fetched again, and a
// resume point without its partial file is dropped rather than applied to a new empty file.
void SyncCommand::matchToDisk(LibraryFile *file, const QString &dir, DownloadManager &manager)
{
    const QString path = dir + QLatin1Char('/') + relativePath(file);
    const QFileInfo copy(path);
    // A transfer's bytes are in its temporary file, or under the final name when an older
    // version wrote them.
    QFileInfo partial(LibraryFile::partialPathOf(path));
    if (!partial.isFile())
        partial = copy;
    const bool sameFolder = QDir::cleanPath(file->localDir()) == dir;
    if (isPresentStatus(file->status()) && (!sameFolder || !copy.isFile())) {
        manager.forgetCopy(file);
    } else if (file->downloadedSize() > 0 && !isPresentStatus(file->status())
               && (!sameFolder || !partial.isFile() || partial.size() < file->downloadedSize())) {
        file->setDownloadedSize(0);
        file->setDownloadProgress(0.0);
    }
}

void SyncCommand::reconcileWithDisk()
{
    forEachFile([this](LibraryFile *file) {
        matchToDisk(file, m_dir, *m_services->downloadManager());
        if (file->status() == LibraryFile::Downloaded || file->status() == LibraryFile::Local)
            ++m_alreadyPresent;
    });
}

bool SyncCommand::checkFreeSpace()
{
    const qint64 required = m_library.remainingBytes();
    const qint64 available = LibrarySync::availableBytes(FileSystemOps::lastExistingDir(m_dir));
    if (required <= 0 || available < 0 || available >= required)
        return true;
    m_console->error(tr("not enough free space in %1: %2 needed, %3 available")
                         .arg(QDir::toNativeSeparators(m_dir), SyncProgress::bytesText(required),
                              SyncProgress::bytesText(available)));
    return false;
}

void SyncCommand::queueDownloads()
{
    const Settings::UpdateBookPolicy policy = m_services->settings()->updateBookPolicy();
    QStringList updates;
    forEachFile([this, policy, &updates](LibraryFile *file) {
        watch(file);
        if (file->status() == LibraryFile::Downloaded || file->status() == LibraryFile::Local)
            return;
        m_toFetch.append(file);
        if (file->status() == LibraryFile::UpdateAvailable) {
            updates << (policy == Settings::ReplaceOldFiles
                            ? tr("updating %1 (the old copy is replaced)").arg(relativePath(file))
                            : tr("updating %1 (the old copy is kept under an archive name)").arg(relativePath(file)));
        }
    });
    m_bytesAtStart = bytesDone();
    m_console->line(tr("refreshed %1 products: %2 files to fetch (%3), %4 already present")
                        .arg(m_library.rowCount())
                        .arg(m_toFetch.size())
                        .arg(SyncProgress::bytesText(m_library.remainingBytes()))
                        .arg(m_alreadyPresent));
    if (!updates.isEmpty() && policy == Settings::AskEachTime) {
        m_console->line(tr("note: the update policy is \"ask each time\"; with no one to ask, both copies are kept, "
                           "as \"Auto download, archive old file(s)\" does"));
    }
    for (const QString &update : qAsConst(updates))
        m_console->line(update);

    DownloadManager *manager = m_services->downloadManager();
    connect(manager, &DownloadManager::allDownloadsFinished, this, [this] {
        QTimer::singleShot(0, this, &SyncCommand::finishIfSettled);
    });
    m_queued = true;
    // Files left queued by an earlier run join the queue first, the rest after them.
    m_library.rejoinQueue();
    m_library.downloadAll();
    if (m_console->showsProgress())
        m_progressTimer.start();
    QTimer::singleShot(0, this, &SyncCommand::finishIfSettled);
}

void SyncCommand::watch(LibraryFile *file)
{
    if (m_watched.contains(file))
        return;
    m_watched.insert(file);
    connect(file, &LibraryFile::statusChanged, this, [this](LibraryFile *changed) {
        // A file verified and then found to have no server checksum changes twice in a row;
        // its outcome is read once that has settled.
        QPointer<LibraryFile> guarded(changed);
        QTimer::singleShot(0, this, [this, guarded] {
            if (guarded)
                report(guarded);
        });
    });
}

void SyncCommand::report(LibraryFile *file)
{
    if (m_ended)
        return;
    if (file->status() == LibraryFile::Downloaded) {
        m_reportedFailed.remove(file);
        if (!m_reportedDone.contains(file)) {
            m_reportedDone.insert(file);
            m_console->line(tr("downloaded %1 (%2)").arg(relativePath(file), SyncProgress::bytesText(file->totalSize())));
        }
    } else if (file->status() == LibraryFile::DownloadError) {
        const QString message = file->errorMessage().isEmpty() ? tr("download failed") : file->errorMessage();
        if (m_reportedFailed.value(file) != message) {
            m_reportedFailed.insert(file, message);
            m_console->line(tr("failed %1: %2").arg(relativePath(file), message));
        }
    }
}

void SyncCommand::finishIfSettled()
{
    if (m_ended || !m_queued)
        return;
    bool pending = false;
    forEachFile([&pending](LibraryFile *file) { pending = pending || isPending(file); });
    if (!pending)
        finish();
}

void SyncCommand::finish()
{
    QStringList failures;
    int downloaded = 0;
    for (const QPointer<LibraryFile> &file : qAsConst(m_toFetch)) {
        if (file)
            report(file);
    }
    forEachFile([&](LibraryFile *file) {
        if (file->status() == LibraryFile::Downloaded || file->status() == LibraryFile::Local) {
            if (m_reportedDone.contains(file))
                ++downloaded;
            return;
        }
        QString reason = file->errorMessage();
        if (reason.isEmpty())
            reason = file->status() == LibraryFile::UpdateAvailable ? tr("the old copy could not be moved aside")
                                                                    : tr("not downloaded");
        failures << tr("  failed: %1: %2").arg(relativePath(file), reason);
    });
    const bool saved = saveLibrary();

    const double seconds = qMax<qint64>(1, m_clock.elapsed()) / 1000.0;
    const qint64 transferred = qMax<qint64>(0, bytesDone() - m_bytesAtStart);
    int files = 0;
    forEachFile([&files](LibraryFile *) { ++files; });
    m_console->line(tr("sync: %1 downloaded, %2 failed, %3 already present, %4 files in the library; "
                       "%5 in %6 s (%7/s)")
                        .arg(downloaded)
                        .arg(failures.size())
                        .arg(m_alreadyPresent)
                        .arg(files)
                        .arg(SyncProgress::bytesText(transferred))
                        .arg(seconds, 0, 'f', 1)
                        .arg(SyncProgress::bytesText(qint64(transferred / seconds))));
    for (const QString &failure : qAsConst(failures))
        m_console->line(failure);
    end(failures.isEmpty() && saved ? CliExitCode::Success : CliExitCode::Failed);
}

bool SyncCommand::saveLibrary()
{
    m_saveError.clear();
    m_library.save();
    return m_saveError.isEmpty();
}

void SyncCommand::stop(int signalNumber)
{
    if (m_ended)
        return;
    m_console->error(tr("stopping; partial files stay and the next run resumes them (Ctrl+C again quits at once)"));
    // Transfers are suspended, not cancelled: their files keep the status that makes the
    // next run queue them again, with the bytes on disk as the resume point.
    m_services->downloadManager()->stopAll();
    saveLibrary();
    end(CliExitCode::InterruptedBase + signalNumber);
}

void SyncCommand::end(int exitCode)
{
    m_ended = true;
    m_exitCode = exitCode;
    m_progressTimer.stop();
    m_guardTimer.stop();
    m_console->clearProgress();
    QCoreApplication::exit(exitCode);
}

qint64 SyncCommand::bytesDone() const
{
    qint64 done = 0;
    for (const QPointer<LibraryFile> &file : m_toFetch) {
        if (!file)
            continue;
        const qint64 size = qMax<qint64>(0, file->totalSize());
        done += file->status() == LibraryFile::Downloaded ? size : qBound<qint64>(0, file->downloadedSize(), size);
    }
    return done;
}

void SyncCommand::showProgress()
{
    qint64 total = 0;
    for (const QPointer<LibraryFile> &file : qAsConst(m_toFetch)) {
        if (file)
            total += qMax<qint64>(0, file->totalSize());
    }
    const qint64 done = bytesDone();
    m_progress.addSample(m_clock.elapsed(), done);
    DownloadManager *manager = m_services->downloadManager();
    int running = 0;
    forEachFile([&running](LibraryFile *file) { running += file->status() == LibraryFile::Downloading ? 1 : 0; });
    m_console->progress(m_progress.line(done, total, running, qMax(0, manager->downloadsRemain() - running)));
}
