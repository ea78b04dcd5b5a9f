#include "folderscanner.h"

#include "downloads/libraryfile.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace {

qint64 g_sliceMs = FolderScanner::kSliceMs;

} // namespace

FolderScanner::FolderScanner(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<FolderScannerTask::Updates>("FolderScannerTask::Updates");
}

FolderScanner::~FolderScanner()
{
    dropSetup();
    // Nothing more is applied: the library may already be on its way out.
    stopWorker(false);
}

void FolderScanner::setScanning(bool scanning)
{
    if (scanning == m_scanning)
        return;
    m_scanning = scanning;
    emit scanningChanged();
}

void FolderScanner::setScanningProgress(int progress)
{
    if (progress == m_scanningProgress)
        return;
    m_scanningProgress = progress;
    emit scanningProgressChanged();
}

void FolderScanner::setWithUI(bool withUI)
{
    if (withUI == m_withUI)
        return;
    m_withUI = withUI;
    emit withUIChanged();
}

qint64 FolderScanner::hashedBytes() const
{
    return m_task ? m_task->hashedBytes() : m_lastHashedBytes;
}

void FolderScanner::startScanning(const FolderScannerTaskData &data, const QString &folder, bool withUI)
{
    cancelScanning();
    qDebug().nospace() << "INFO: " << "FolderScanner: Started scanning " << folder << " for known files"
                       << " allowUI:" << withUI;

    m_folder = folder;
    setWithUI(withUI);
    m_data = data;
    m_data.setFolder(folder);
    m_lastHashedBytes = 0;

    m_task = std::make_unique<FolderScannerTask>(m_data);
    m_thread = std::make_unique<QThread>();
    m_task->moveToThread(m_thread.get());
    connect(m_thread.get(), &QThread::started, m_task.get(), &FolderScannerTask::execute);
    // Direct: the thread must end even while the main thread waits for it.
    connect(m_task.get(), &FolderScannerTask::scanningFinished, m_thread.get(), &QThread::quit, Qt::DirectConnection);
    connect(m_task.get(), &FolderScannerTask::scanningCanceled, m_thread.get(), &QThread::quit, Qt::DirectConnection);
    connect(m_task.get(), &FolderScannerTask::scanningStarted, this, &FolderScanner::onScanningStarted);
    connect(m_task.get(), &FolderScannerTask::scanningFinished, this, &FolderScanner::onScanningFinished);
    connect(m_task.get(), &FolderScannerTask::scanningCanceled, this, &FolderScanner::onScanningCanceled);
    connect(m_task.get(), &FolderScannerTask::scanningProgress, this, &FolderScanner::onScanningProgress);
    connect(m_task.get(), &FolderScannerTask::filesUpdated, this, &FolderScanner::onFilesUpdated);
    // Given at the start: a quick scan may have ended before a later setPriority() ran.
    m_thread->start(QThread::LowestPriority);
}

void FolderScanner::startScanning(Collector collect, const QString &folder, bool withUI)
{
    cancelScanning();
    if (!collect)
        return;
    m_setup = std::make_unique<Setup>();
    m_setup->collect = std::move(collect);
    m_setup->data.setFolder(folder);
    m_setup->folder = folder;
    m_setup->withUI = withUI;
    collectSlice();
}

void FolderScanner::collectSlice()
{
    if (!m_setup)
        return;
    if (!m_setup->collect(m_setup->data, g_sliceMs)) {
        const quint64 generation = m_setupGeneration;
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == m_setupGeneration)
                    collectSlice();
            },
            Qt::QueuedConnection);
        return;
    }
    // Out of the way first: the collector may hold the last reference to products the library
    // has dropped meanwhile, whose files go with it, before the scan could touch them.
    std::unique_ptr<Setup> setup = std::move(m_setup);
    ++m_setupGeneration;
    const FolderScannerTaskData data = setup->data;
    const QString folder = setup->folder;
    const bool withUI = setup->withUI;
    setup.reset();
    if (!data.isEmpty())
        startScanning(data, folder, withUI);
}

void FolderScanner::dropSetup()
{
    m_setup.reset();
    ++m_setupGeneration;
}

void FolderScanner::cancelScanning()
{
    dropSetup();
    if (m_thread && m_thread->isRunning()) {
        const QString folder = m_folder;
        qDebug().nospace() << "INFO: " << "FolderScanner: Canceling scanning " << folder << " for known files";
        stopWorker(true);
        qDebug().nospace() << "INFO: " << "FolderScanner: Canceled scanning " << folder << " for known files";
    } else {
        stopWorker(true);
    }
}

void FolderScanner::stopWorker(bool applyTail)
{
    // Taken out first: applying the tail runs other code, which may start the next scan.
    std::unique_ptr<FolderScannerTask> task = std::move(m_task);
    std::unique_ptr<QThread> thread = std::move(m_thread);
    if (task)
        task->requestCancel();
    if (thread) {
        thread->quit();
        thread->wait();
    }
    if (task)
        m_lastHashedBytes = task->hashedBytes();
    if (applyTail) {
        // What the worker reported before it ended is still in the event queue.
        if (task)
            QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        applyPending(-1);
    } else {
        m_pending.clear();
    }
}

void FolderScanner::onScanningStarted()
{
    enqueue(Step(Step::Started));
}

void FolderScanner::onScanningFinished()
{
    enqueue(Step(Step::Finished));
}

void FolderScanner::onScanningCanceled()
{
    enqueue(Step(Step::Canceled));
}

void FolderScanner::onScanningProgress(double progress)
{
    Step step(Step::Progress);
    step.progress = progress;
    enqueue(step);
}

void FolderScanner::onFilesUpdated(const FolderScannerTask::Updates &updates)
{
    for (const FolderScannerTask::Update &update : updates) {
        Step step(Step::Update);
        step.update = update;
        m_pending.push_back(std::move(step));
    }
    scheduleApply();
}

void FolderScanner::enqueue(Step step)
{
    m_pending.push_back(std::move(step));
    // Never applied right here: several reports can arrive in one turn of the event loop, and
    // each applying a slice of its own would add up to a stall.
    scheduleApply();
}

void FolderScanner::setSlice(qint64 ms)
{
    g_sliceMs = qMax<qint64>(0, ms);
}

void FolderScanner::applyPending(qint64 budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_pending.empty()) {
        const Step step = std::move(m_pending.front());
        m_pending.pop_front();
        applyStep(step);
        // At least one step a turn, so that any slice makes headway.
        if (budgetMs >= 0 && !m_pending.empty() && clock.elapsed() >= budgetMs) {
            scheduleApply();
            return;
        }
    }
}

void FolderScanner::scheduleApply()
{
    if (m_applyScheduled)
        return;
    m_applyScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_applyScheduled = false;
            applyPending(g_sliceMs);
        },
        Qt::QueuedConnection);
}

void FolderScanner::applyStep(const Step &step)
{
    switch (step.kind) {
    case Step::Started:
        m_clock.start();
        setScanning(true);
        break;
    case Step::Progress:
        setScanningProgress(int(step.progress));
        break;
    case Step::Update:
        applyUpdate(step.update);
        break;
    case Step::Finished:
        setScanning(false);
        qDebug().nospace() << "INFO: " << "FolderScanner: Finished scanning " << m_folder
                           << " for known files; took ms:" << m_clock.elapsed();
        emit scanFinished(m_folder, false);
        break;
    case Step::Canceled:
        setScanning(false);
        qDebug().nospace() << "INFO: " << "FolderScanner: On scanning canceled ";
        emit scanFinished(m_folder, true);
        break;
    }
}

void FolderScanner::applyUpdate(const FolderScannerTask::Update &update)
{
    LibraryFile *file = m_data.file(update.file);
    // Gone since the scan began (a refresh dropped it).
    if (!file)
        return;

    const LibraryFile::Status current = file->status();
    // A transfer owns the file until the download manager lets go of it.
    const bool transferring = current == LibraryFile::Queued || current == LibraryFile::Downloading
        || current == LibraryFile::DownloadPaused;

    if (update.kind == FolderScannerTask::Update::RecordModified) {
        // Only while the file still points at the copy that was hashed.
        if (!transferring && QDir::cleanPath(file->downloadPath()) == update.path)
            file->setLocalLastModified(QDateTime::fromMSecsSinceEpoch(update.modifiedMs));
        return;
    }

    qDebug().nospace() << "INFO: " << "FolderScanner: Found local file: " << file->localFileName()
                       << " hash: " << update.hash;
    if (transferring)
        return;
    if (file->updateLocalFile(m_folder, QFileInfo(update.path).fileName(), update.hash))
        file->setFoundFilePath(update.path);
}
