#pragma once

#include "downloads/folderscannertask.h"
#include "downloads/folderscannertaskdata.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

class QThread;

// Finds files of the library that already lie in a folder, by their checksums, on a worker
// thread of its own. What the scan finds is applied to the library files here, on the main
// thread, in the order the scan found it and in short slices so the window stays responsive.
class FolderScanner : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool scanning READ scanning WRITE setScanning NOTIFY scanningChanged)
    Q_PROPERTY(int scanningProgress READ scanningProgress WRITE setScanningProgress NOTIFY scanningProgressChanged)
    Q_PROPERTY(bool withUI READ withUI WRITE setWithUI NOTIFY withUIChanged)

public:
    explicit FolderScanner(QObject *parent = nullptr);
    ~FolderScanner() override;

    bool scanning() const { return m_scanning; }
    void setScanning(bool scanning);
    int scanningProgress() const { return m_scanningProgress; }
    void setScanningProgress(int progress);
    bool withUI() const { return m_withUI; }
    void setWithUI(bool withUI);

    // The folder of the current or last scan.
    QString folder() const { return m_folder; }
    // Bytes the current or last scan has read for hashing.
    qint64 hashedBytes() const;

    // A scan is set up, and what it found is applied, in slices of this length, well inside one
    // frame, with the event loop running in between.
    static constexpr qint64 kSliceMs = 4;
    // Lets tests take one step a turn (0), to see what happens between slices.
    static void setSlice(qint64 ms);

    // Adds more of the library to `data` for about `budgetMs`, at least one product a call;
    // true once all of it is in.
    using Collector = std::function<bool(FolderScannerTaskData &data, qint64 budgetMs)>;

    // Cancels a running scan, then scans `folder` for copies of the files in `data`.
    void startScanning(const FolderScannerTaskData &data, const QString &folder, bool withUI);
    // The same with the data collected a slice at a time on the event loop, so that a large
    // library does not hold up the window; a small one starts at once. When no file has a
    // checksum, nothing starts.
    void startScanning(Collector collect, const QString &folder, bool withUI);

public slots:
    // Stops a running scan and waits for its thread; what it matched so far is applied
    // before this returns. A scan still being set up is dropped without a trace.
    void cancelScanning();

signals:
    void scanningChanged();
    void scanningProgressChanged();
    void withUIChanged();
    // Once per scan, after everything it matched has been applied.
    void scanFinished(const QString &folder, bool canceled);

private slots:
    void onScanningStarted();
    void onScanningFinished();
    void onScanningCanceled();
    void onScanningProgress(double progress);
    void onFilesUpdated(const FolderScannerTask::Updates &updates);

private:
    struct Step {
        enum Kind { Started, Progress, Update, Finished, Canceled };
        explicit Step(Kind k)
            : kind(k)
        {
        }
        Kind kind;
        double progress = 0.0;
        FolderScannerTask::Update update;
    };

    struct Setup {
        Collector collect;
        FolderScannerTaskData data;
        QString folder;
        bool withUI = false;
    };

    void collectSlice();
    void dropSetup();
    void enqueue(Step step);
    // Applies queued steps until none are left or budgetMs has passed (-1: no limit).
    void applyPending(qint64 budgetMs);
    void scheduleApply();
    void applyStep(const Step &step);
    void applyUpdate(const FolderScannerTask::Update &update);
    // Ends the worker thread; with `applyTail`, applies what the scan reported before it ended.
    void stopWorker(bool applyTail);

    QString m_folder;
    FolderScannerTaskData m_data;
    std::unique_ptr<FolderScannerTask> m_task;
    std::unique_ptr<QThread> m_thread;
    bool m_scanning = false;
    bool m_withUI = false;
    int m_scanningProgress = 0;
    QElapsedTimer m_clock;

    std::unique_ptr<Setup> m_setup;
    // Tells a queued set-up slice whether it still belongs to the set-up under way.
    quint64 m_setupGeneration = 0;

    std::deque<Step> m_pending;
    bool m_applyScheduled = false;
    qint64 m_lastHashedBytes = 0;
};
