#pragma once

#include "downloads/fileactions.h"
#include "downloads/libraryfile.h"

// The actions of a file that belongs to no running library: a stand-in made to read a saved
// record, or a file under test. It records the status it is asked for, starts no transfer,
// reaches no service, asks no one and deletes nothing; what would have gone to the user is
// logged.
class IdleFileActions final : public FileActions
{
public:
    void queue(LibraryFile *file) override;
    void pause(LibraryFile *file) override;
    void cancel(LibraryFile *file) override;
    void fail(LibraryFile *file) override;
    void rejoinQueue(LibraryFile *) override {}
    void markUpdateAvailable(LibraryFile *file) override;
    void markFound(LibraryFile *file) override;
    void forgetCopy(LibraryFile *file) override;
    void reportError(LibraryFile *file, const QString &message) override;
    void askUpdateFile(LibraryFile *file) override;
    void askDeleteFile(LibraryFile *file) override;
    bool isSyncing() const override { return false; }
    void requestTitleInfo(const QString &, QObject *, std::function<void(bool, const QJsonValue &)>) override {}
    Settings::UpdateBookPolicy updateBookPolicy() const override { return Settings::AskEachTime; }
    bool confirmsDelete() const override { return false; }
    bool deletesPermanently() const override { return false; }
    QStringList libraryFolders() const override { return {}; }
    void addLibraryFolder(const QString &) override {}

    // For tests of models and views: the file shows status as if its transfers had brought it
    // there.
    static void setStatusForTest(LibraryFile *file, LibraryFile::Status status) { file->setStatus(status); }
};
