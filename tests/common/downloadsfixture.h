#pragma once

#include "api/remoteapi.h"
#include "app/core/settings.h"
#include "downloads/downloadmanager.h"
#include "testservices.h"

#include <QTcpServer>
#include <QTemporaryDir>

#include <memory>
#include <vector>

class LibraryFile;
class LibraryItem;

// A temporary home with a library folder, settings, a download manager and the stand-in
// controller. Transfers talk to a service that accepts and never answers, so that files stay
// Downloading until a test moves them on.
class DownloadsFixture
{
public:
    // Once per test case: the home, its config and data folders, the silent service.
    bool setUpOnce();
    // Per test: a fresh library folder and objects, the trash emptied; the service client is
    // signed in when asked to be.
    bool setUp(bool signedIn = false);
    void tearDown();

    QString libraryPath() const { return m_library->path(); }
    QStringList trashedFiles() const;
    static bool writeFile(const QString &path, const QByteArray &data = "data");

    // A product of "Pub", titled "Title", and files of it made with the context; both are the
    // fixture's until tearDown, or dropFile for a file that goes earlier.
    LibraryItem *makeItem(const QString &datePurchased = QStringLiteral("2020-01-01T00:00:00"));
    LibraryFile *makeFile(LibraryItem *item, const QString &serverName);
    void dropFile(LibraryFile *file);

    std::unique_ptr<TestServices> services;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<DownloadManager> manager;

private:
    QTemporaryDir m_home;
    QTcpServer m_silentService;
    std::unique_ptr<QTemporaryDir> m_library;
    std::vector<std::unique_ptr<LibraryItem>> m_items;
    std::vector<std::unique_ptr<LibraryFile>> m_files;
};
