#include "downloadsfixture.h"

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
    context = services->context();
    return m_library->isValid();
}

void DownloadsFixture::tearDown()
{
    // A sign-in still waiting for the silent service is dropped with its request.
    if (services)
        services->remoteAPI()->doLogout();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    context = {};
    manager.reset();
    services.reset();
    settings.reset();
    m_library.reset();
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
