#include "filesystemops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#include <vector>
#endif

namespace {

#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
// The trash record must hold the original path as a URL-encoded path, but the framework writes
// it raw; a name with '%' or spaces would otherwise be restored to the wrong place.
void fixTrashInfoPath(const QString &originalPath, const QString &pathInTrash)
{
    const QFileInfo trashed(pathInTrash);
    const QString infoPath = trashed.absoluteDir().absolutePath() + QLatin1String("/../info/")
        + trashed.fileName() + QLatin1String(".trashinfo");
    QFile info(infoPath);
    if (!info.open(QIODevice::ReadOnly))
        return;
    QList<QByteArray> lines = info.readAll().split('\n');
    info.close();

    const QByteArray rawLine = "Path=" + QFile::encodeName(originalPath);
    const QByteArray encodedLine = "Path=" + QUrl::toPercentEncoding(originalPath, "/");
    bool changed = false;
    for (QByteArray &line : lines) {
        if (line == rawLine && line != encodedLine) {
            line = encodedLine;
            changed = true;
        }
    }
    if (changed && info.open(QIODevice::WriteOnly | QIODevice::Truncate))
        info.write(lines.join('\n'));
}

QString canonicalDir(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}
#endif

} // namespace

bool FileSystemOps::moveToTrash(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
#ifdef Q_OS_WIN
    // The source list is terminated by two NULs.
    const QString nativePath = QDir::toNativeSeparators(path);
    std::vector<wchar_t> source(size_t(nativePath.size()) + 2, L'\0');
    nativePath.toWCharArray(source.data());
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = source.data();
    operation.pTo = nullptr;
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return SHFileOperationW(&operation) == 0;
#else
    const QString absolute = QFileInfo(path).absoluteFilePath();
#ifdef Q_OS_MACOS
    return QFile::moveToTrash(absolute);
#else
    // The framework reports success even when it could not set up the trash, having moved the
    // file into a "files" folder under the working directory. For a file on the home volume
    // the trash is made here first and the result is checked against it.
    QString homeTrashFiles;
    if (QStorageInfo(absolute) == QStorageInfo(QDir::home())) {
        const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
            return false;
        const QString trash = dataHome + QLatin1String("/Trash");
        if (!QDir().mkpath(trash + QLatin1String("/files")) || !QDir().mkpath(trash + QLatin1String("/info")))
            return false;
        homeTrashFiles = canonicalDir(trash + QLatin1String("/files"));
    }

    QString pathInTrash;
    if (!QFile::moveToTrash(absolute, &pathInTrash))
        return false;

    const QFileInfo trashed(pathInTrash);
    const bool inTrash = trashed.isAbsolute() && trashed.exists()
        && (homeTrashFiles.isEmpty() ? trashed.absoluteDir().dirName() == QLatin1String("files")
                                     : canonicalDir(trashed.absolutePath()) == homeTrashFiles);
    if (!inTrash) {
        // Put it back where the user had it rather than leave it somewhere unexpected.
        if (trashed.exists())
            QFile::rename(trashed.absoluteFilePath(), absolute);
        return false;
    }
    fixTrashInfoPath(absolute, pathInTrash);
    return true;
#endif
#endif
}

namespace {

FileSystemOps::ViewerOpener &viewerOpener()
{
    static FileSystemOps::ViewerOpener opener;
    return opener;
}

FileSystemOps::ViewerOpener &folderShower()
{
    static FileSystemOps::ViewerOpener shower;
    return shower;
}

} // namespace

QString FileSystemOps::lastExistingDir(const QString &path)
{
    QFileInfo info(path);
    if (path.isEmpty() || info.path().isEmpty())
        return QDir::homePath();
    while (!info.exists() && info.filePath().size() != 3) {
        const QFileInfo parent(info.path());
        if (parent.filePath() == info.filePath())
            break;
        info = parent;
    }
    return info.filePath();
}

void FileSystemOps::setViewerOpener(ViewerOpener opener)
{
    viewerOpener() = std::move(opener);
}

bool FileSystemOps::openInDefaultViewer(const QString &path)
{
    const ViewerOpener &opener = viewerOpener();
    return opener && opener(path);
}

void FileSystemOps::setFolderShower(ViewerOpener shower)
{
    folderShower() = std::move(shower);
}

bool FileSystemOps::showInFolder(const QString &path)
{
    const ViewerOpener &shower = folderShower();
    return shower && shower(path);
}
