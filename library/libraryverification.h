#pragma once

#include "downloads/libraryverifier.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

class DownloadManager;
class LibraryFile;
class OnlineLibrary;

// The library check as the window runs it: every file recorded as on disk is checked by the
// verifier; at the end the changed and missing ones are marked for download again (not
// downloaded) and each goes to the errors list.
class LibraryVerification : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(int filesDone READ filesDone NOTIFY progressChanged)
    Q_PROPERTY(int files READ files NOTIFY progressChanged)
    Q_PROPERTY(double fraction READ fraction NOTIFY progressChanged)
    Q_PROPERTY(QString progressText READ progressText NOTIFY progressChanged)
    Q_PROPERTY(bool hasResult READ hasResult NOTIFY resultChanged)
    Q_PROPERTY(int good READ good NOTIFY resultChanged)
    Q_PROPERTY(int changed READ changed NOTIFY resultChanged)
    Q_PROPERTY(int missing READ missing NOTIFY resultChanged)
    Q_PROPERTY(QString resultText READ resultText NOTIFY resultChanged)

public:
    LibraryVerification(OnlineLibrary *library, DownloadManager *manager, const QString &cachePath,
                        QObject *parent = nullptr);

    bool running() const { return m_gathering || m_verifier.isRunning(); }
    int filesDone() const { return m_progress.filesDone; }
    int files() const { return m_progress.files; }
    double fraction() const;
    QString progressText() const;
    bool hasResult() const { return m_hasResult; }
    int good() const { return m_summary.good; }
    int changed() const { return m_summary.changed; }
    int missing() const { return m_summary.missing; }
    QString resultText() const;

    Q_INVOKABLE void start(bool full);
    Q_INVOKABLE void cancel();

signals:
    void runningChanged();
    void progressChanged();
    void resultChanged();
    // The counts of a check that ran to its end.
    void finished(int good, int changed, int missing);

private:
    static constexpr int kGatherSliceMs = 8;

    void gather();
    void announceStateChanged();
    void onFinished(const QVector<LibraryVerifier::Entry> &entries, bool cancelled);

    OnlineLibrary *const m_library;
    DownloadManager *const m_manager;
    LibraryVerifier m_verifier;
    QVector<QPointer<LibraryFile>> m_files;
    QVector<LibraryVerifier::Entry> m_entries;
    int m_nextRow = 0;
    bool m_full = false;
    bool m_gathering = false;
    LibraryVerifier::Progress m_progress;
    LibraryVerifier::Summary m_summary;
    bool m_hasResult = false;
    bool m_cancelled = false;
};
