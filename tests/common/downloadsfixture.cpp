#include "downloadsfixture.h"

#include "downloads/libraryfile.h"
#include "library/libraryitem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>

bool DownloadsFixture::setUpOnce()
{
    if (!m_home.isValid() || !m_silentService.listen(QHostAddress::LocalHost))
        return false;
    qputenv("TOLVANE_API_BASE_URL", "http://127.0.0.1:" + QByteArray::number(m_silentService.serverPort()) + "/api/v1");
    qputenv("HOME", m_home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (m_home.path() + QStringLiteral("/data")).toLocal8Bit());
    QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    return true;
}

bool DownloadsFixture::setUp(bool signedIn)
{
    m_library = std::make_unique<QTemporaryDir>(m_home.path() + QStringLiteral("/library-XXXXXX"));
    QDir(m_home.path() + QStringLiteral("/data/Trash")).removeRecursively();
    services = std::make_unique<TestServices>();
    // The service client reads its stored key (reversed) when it is made.
    QSettings store;
    if (signedIn)
        store.setValue("login/appKey", "yek-tset");
    else
        store.remove("login/appKey");
    store.sync();
    settings = std::make_unique<Settings>();
    settings->setLibraryDirectory(m_library->path());
    settings->setDeletePermanently(false);
    settings->setShowDeleteConfirmation(false);
    manager = std::make_unique<DownloadManager>(services->remoteAPI(), settings.get());
    manager->setSyncing(true);   // no title requests to a service that is not there
    // As the program wires them: a raised limit starts waiting files.
    QObject::connect(settings.get(), &Settings::simultaneousDownloadsChanged, manager.get(),
                     &DownloadManager::processQueue);
    services->settingsObject = settings.get();
    services->manager = manager.get();
    services->fileActions();
    return m_library->isValid();
}

void DownloadsFixture::tearDown()
{
    m_files.clear();
    m_items.clear();
    // A sign-in still waiting for the silent service is dropped with its request.
    if (services)
        services->remoteAPI()->doLogout();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    manager.reset();
    services.reset();
    settings.reset();
    m_library.reset();
}

LibraryItem *DownloadsFixture::makeItem(const QString &datePurchased)
{
    m_items.push_back(std::make_unique<LibraryItem>(services->fileActions()));
    LibraryItem *item = m_items.back().get();
    item->setPublisher(QStringLiteral("Pub"));
    item->setTitle(QStringLiteral("Title"));
    item->setProductId(QString::number(m_items.size()));
    item->setDatePurchased(datePurchased);
    return item;
}

LibraryFile *DownloadsFixture::makeFile(LibraryItem *item, const QString &serverName)
{
    m_files.push_back(std::make_unique<LibraryFile>(item, services->fileActions()));
    m_files.back()->setServerFileName(serverName);
    return m_files.back().get();
}

void DownloadsFixture::dropFile(LibraryFile *file)
{
    for (auto it = m_files.begin(); it != m_files.end(); ++it) {
        if (it->get() == file) {
            m_files.erase(it);
            return;
        }
    }
}

QStringList DownloadsFixture::trashedFiles() const
{
    return QDir(m_home.path() + QStringLiteral("/data/Trash/files")).entryList(QDir::Files | QDir::Hidden);
}

bool DownloadsFixture::writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(data) == data.size();
}
