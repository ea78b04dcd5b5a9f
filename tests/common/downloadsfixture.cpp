#include "downloadsfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

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

bool DownloadsFixture::setUp()
{
    m_library = std::make_unique<QTemporaryDir>(m_home.path() + QStringLiteral("/library-XXXXXX"));
    QDir(m_home.path() + QStringLiteral("/data/Trash")).removeRecursively();
    services = std::make_unique<TestServices>();
    settings = std::make_unique<Settings>();
    settings->setLibraryDirectory(m_library->path());
    settings->setDeletePermanently(false);
    settings->setShowDeleteConfirmation(false);
    manager = std::make_unique<DownloadManager>();
    // As the program wires them: a raised limit starts waiting files.
    QObject::connect(settings.get(), &Settings::simultaneousDownloadsChanged, manager.get(),
                     &DownloadManager::processQueue);
    services->settingsObject = settings.get();
    services->manager = manager.get();
    services->syncing = true;   // no title requests to a service that is not there
    return m_library->isValid();
}

void DownloadsFixture::tearDown()
{
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
