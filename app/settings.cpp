#include "settings.h"

#include "app/constants.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace {

const int kMinSimultaneousDownloads = 1;
const int kMaxSimultaneousDownloads = 5;

const QString kLibraryDirectoryKey = QStringLiteral("libraryDirectory");
const QString kSimultaneousDownloadsKey = QStringLiteral("simultaneousDownloads");
const QString kCheckUpdateOnStartKey = QStringLiteral("checkUpdateOnStart");
const QString kUpdateBookPolicyKey = QStringLiteral("updateBookPolicy");
const QString kShowThumbnailsKey = QStringLiteral("showThumbnails");
const QString kLoggingEnabledKey = QStringLiteral("loggingEnabled");
const QString kDeletePermanentlyKey = QStringLiteral("deletePermanently");
const QString kEqualRowHeightKey = QStringLiteral("LibraryView/equalRowHeight");
const QString kShowDeleteConfirmationKey = QStringLiteral("showDeleteConfirmation");

const QFileDevice::Permissions kOwnerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const QFileDevice::Permissions kOwnerDir = kOwnerFile | QFileDevice::ExeOwner;

} // namespace

Settings::Settings(QObject *parent)
    : QObject(parent)
{
    removeStoreLeftovers();
    load();
    // A store written by an earlier version may still be readable by others.
    QSettings store;
    if (QFileInfo::exists(store.fileName()))
        protectStore(store);
}

void Settings::removeStoreLeftovers()
{
    // A write of the store interrupted by a kill leaves its temporary copy, sign-in token
    // included, beside the store.
    const QFileInfo store(QSettings().fileName());
    const QRegularExpression temporary(QLatin1Char('^') + QRegularExpression::escape(store.fileName())
                                       + QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    const QStringList names = store.dir().entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        if (temporary.match(name).hasMatch())
            QFile::remove(store.dir().filePath(name));
    }
}

void Settings::protectStore(QSettings &store)
{
#ifdef Q_OS_UNIX
    // The folder first, so that the file is never reachable by others, not even while the store
    // replaces it with a freshly created one.
    const QString dir = QFileInfo(store.fileName()).absolutePath();
    QDir().mkpath(dir);
    QFile::setPermissions(dir, kOwnerDir);
    store.sync();
    QFile::setPermissions(store.fileName(), kOwnerFile);
#else
    store.sync();
#endif
}

QString Settings::defaultLibraryDirectory()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir::toNativeSeparators(documents) + QDir::separator() + Constants::ApplicationName;
}

bool Settings::showDeleteConfirmation() const
{
    return QSettings().value(kShowDeleteConfirmationKey, true).toBool();
}

void Settings::setLibraryDirectory(QString dir)
{
    while (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\')))
        dir.chop(1);
    if (dir == m_libraryDirectory)
        return;
    m_libraryDirectory = dir;
    emit libraryDirectoryChanged(m_libraryDirectory);
}

void Settings::setSimultaneousDownloads(int n)
{
    n = qBound(kMinSimultaneousDownloads, n, kMaxSimultaneousDownloads);
    if (n == m_simultaneousDownloads)
        return;
    m_simultaneousDownloads = n;
    emit simultaneousDownloadsChanged(m_simultaneousDownloads);
}

void Settings::setCheckUpdateOnStart(bool on)
{
    if (on == m_checkUpdateOnStart)
        return;
    m_checkUpdateOnStart = on;
    emit checkUpdateOnStartChanged(on);
}

Settings::UpdateBookPolicy Settings::updateBookPolicy() const
{
    switch (m_updateBookPolicy) {
    case RenameOldFiles:
        return RenameOldFiles;
    case ReplaceOldFiles:
        return ReplaceOldFiles;
    default:
        return AskEachTime;
    }
}

void Settings::setUpdateBookPolicy(UpdateBookPolicy policy)
{
    if (policy == m_updateBookPolicy)
        return;
    m_updateBookPolicy = policy;
    emit updateBookPolicyChanged(policy);
}

void Settings::setShowThumbnails(bool on)
{
    if (on == m_showThumbnails)
        return;
    m_showThumbnails = on;
    emit showThumbnailsChanged(on);
}

void Settings::setLoggingEnabled(bool on)
{
    if (on == m_loggingEnabled)
        return;
    // The change is announced while file logging is still on, so that the line reporting it
    // reaches the log file in both directions.
    if (on) {
        m_loggingEnabled = true;
        emit loggingEnabledChanged(true);
    } else {
        emit loggingEnabledChanged(false);
        m_loggingEnabled = false;
    }
}

void Settings::setShowDeleteConfirmation(bool on)
{
    QSettings store;
    store.setValue(kShowDeleteConfirmationKey, on);
    protectStore(store);
    emit showDeleteConfirmationChanged(on);
}

void Settings::setDeletePermanently(bool on)
{
    if (on == m_deletePermanently)
        return;
    m_deletePermanently = on;
    emit deletePermanentlyChanged(on);
}

void Settings::setEqualRowHeight(bool on)
{
    if (on == m_equalRowHeight)
        return;
    m_equalRowHeight = on;
    emit equalRowHeightChanged(on);
}

void Settings::save()
{
    QSettings store;
    store.setValue(kLibraryDirectoryKey, m_libraryDirectory);
    store.setValue(kSimultaneousDownloadsKey, m_simultaneousDownloads);
    store.setValue(kCheckUpdateOnStartKey, m_checkUpdateOnStart);
    store.setValue(kUpdateBookPolicyKey, m_updateBookPolicy);
    store.setValue(kShowThumbnailsKey, m_showThumbnails);
    store.setValue(kLoggingEnabledKey, m_loggingEnabled);
    store.setValue(kDeletePermanentlyKey, m_deletePermanently);
    store.setValue(kEqualRowHeightKey, m_equalRowHeight);
    protectStore(store);
}

void Settings::load()
{
    const QSettings store;
    m_simultaneousDownloads = store.value(kSimultaneousDownloadsKey, 3).toInt();
    m_checkUpdateOnStart = store.value(kCheckUpdateOnStartKey, true).toBool();
    m_libraryDirectory = store.value(kLibraryDirectoryKey, defaultLibraryDirectory()).toString();
    m_updateBookPolicy = store.value(kUpdateBookPolicyKey, 0).toInt();
    m_showThumbnails = store.value(kShowThumbnailsKey, true).toBool();
    m_loggingEnabled = store.value(kLoggingEnabledKey, true).toBool();
    m_deletePermanently = store.value(kDeletePermanentlyKey, true).toBool();
    m_equalRowHeight = store.value(kEqualRowHeightKey, m_equalRowHeight).toBool();
}
