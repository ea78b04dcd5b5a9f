#include "settings.h"

#include "app/core/constants.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <qt5keychain/keychain.h>

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
const QString kDownloadLimitOnKey = QStringLiteral("Downloads/limitOn");
const QString kDownloadLimitValueKey = QStringLiteral("Downloads/limitValue");
const QString kDownloadLimitInMiBKey = QStringLiteral("Downloads/limitInMiB");
// 999 MiB/s is beyond any connection; a larger number is a typing slip.
constexpr int kMaxDownloadLimitValue = 999999;
const QString kShowDeleteConfirmationKey = QStringLiteral("showDeleteConfirmation");
const QString kChosenFoldersKey = QStringLiteral("chosenFolders");
// Enough for every folder a customer moves the library to over years.
const int kMaxChosenFolders = 32;

// A secret service answers in milliseconds; one that does not within this is taken as absent.
const int kKeychainTimeoutMs = 5000;

// Once a secret service failed, the rest of the run keeps to the file rather than waiting again.
bool g_keychainFailed = false;

// Without a session bus there is no secret service to ask (a server, cron, the tests), and
// asking would only try to start one.
bool secretServiceRuns()
{
    if (g_keychainFailed)
        return false;
    const QString bus = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    // A bus at a socket that is not there is no bus either.
    const QString socket = QStringLiteral("unix:path=");
    if (bus.startsWith(socket))
        return QFileInfo::exists(bus.mid(socket.size()).section(QLatin1Char(','), 0, 0));
    return !bus.isEmpty();
}

// Runs the job to its end or the time limit; true when it succeeded. `read` gets the text of a
// read job before the job deletes itself.
bool runKeychainJob(QKeychain::Job *job, QString *read = nullptr)
{
    QEventLoop loop;
    bool finished = false;
    QKeychain::Error error = QKeychain::OtherError;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job *done) {
        finished = true;
        error = done->error();
        if (read && error == QKeychain::NoError)
            *read = static_cast<QKeychain::ReadPasswordJob *>(done)->textData();
        loop.quit();
    });
    QTimer::singleShot(kKeychainTimeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec();
    const bool ok = error == QKeychain::NoError || (finished && error == QKeychain::EntryNotFound);
    if (!finished || error == QKeychain::NoBackendAvailable || error == QKeychain::AccessDeniedByUser
        || error == QKeychain::OtherError) {
        g_keychainFailed = true;
        qDebug().nospace() << "WARNING: Settings: secret service unavailable; sign-in secrets stay in the settings file";
    }
    return ok;
}

bool keychainWrite(const QString &key, const QString &value)
{
    auto *job = new QKeychain::WritePasswordJob(QCoreApplication::applicationName());
    job->setKey(key);
    job->setTextData(value);
    return runKeychainJob(job);
}

bool keychainRead(const QString &key, QString *value)
{
    auto *job = new QKeychain::ReadPasswordJob(QCoreApplication::applicationName());
    job->setKey(key);
    return runKeychainJob(job, value);
}

void keychainDelete(const QString &key)
{
    auto *job = new QKeychain::DeletePasswordJob(QCoreApplication::applicationName());
    job->setKey(key);
    runKeychainJob(job);
}

const QFileDevice::Permissions kOwnerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const QFileDevice::Permissions kOwnerDir = kOwnerFile | QFileDevice::ExeOwner;

// The store reports a write refused at its end (the flush of a full disk) as a success and
// leaves a short file; so the file is read back: every key on a line of its own, the last line
// complete.
bool fileHoldsKeys(const QSettings &store)
{
#if !defined(Q_OS_UNIX) || defined(Q_OS_DARWIN)
    // The native store is no text file there.
    if (store.format() != QSettings::IniFormat)
        return true;
#endif
    QFile file(store.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return store.allKeys().isEmpty();
    const QByteArray text = QByteArrayLiteral("\n") + file.readAll();
    if (text.size() > 1 && !text.endsWith('\n'))
        return false;
    const QStringList keys = store.allKeys();
    for (const QString &key : keys) {
        // The first part of a key is its [group]; the rest is written with backslashes.
        const QString rest = key.contains(QLatin1Char('/')) ? key.section(QLatin1Char('/'), 1) : key;
        const QByteArray name = QString(rest).replace(QLatin1Char('/'), QLatin1Char('\\')).toUtf8();
        if (!text.contains(QByteArrayLiteral("\n") + name + '='))
            return false;
    }
    return true;
}

// A pipe in the store's place would block every read of the settings for ever, and a folder
// would silently drop every write: either is moved aside so that a new store can be written.
void keepIrregularStoreAside()
{
    // Where the store lies, as the settings find it; asking them would already read it.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString path = config + QLatin1Char('/') + QCoreApplication::organizationName() + QLatin1Char('/')
        + QCoreApplication::applicationName() + QStringLiteral(".conf");
    const QFileInfo store(path);
    if (!store.exists() || store.isFile())
        return;
    const QString aside = path + QStringLiteral(".damaged-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    const bool moved = QFile::rename(path, aside);
    qWarning().noquote() << QStringLiteral("WARNING: Settings: %1 is not a regular file; %2")
                                .arg(QDir::toNativeSeparators(path),
                                     moved ? QStringLiteral("kept aside as ") + QDir::toNativeSeparators(aside)
                                           : QStringLiteral("it could not be kept aside"));
}

} // namespace

Settings::Settings(QObject *parent)
    : QObject(parent)
{
    keepIrregularStoreAside();
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

bool Settings::protectStore(QSettings &store)
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
    // Without an organization name (some tests) the store reports AccessError though it writes.
    const bool statusTrusted = !QCoreApplication::organizationName().isEmpty();
    return (store.status() == QSettings::NoError || !statusTrusted) && fileHoldsKeys(store);
}

QString Settings::storeFailureText(const QSettings &store)
{
    return tr("The settings could not be saved to %1; check the free space and the folder's permissions.")
        .arg(QDir::toNativeSeparators(store.fileName()));
}

QString Settings::readSecret(const QString &key)
{
    QSettings store;
    const QString inFile = store.value(key).toString();
    if (!secretServiceRuns())
        return inFile;
    if (!inFile.isEmpty()) {
        if (keychainWrite(key, inFile)) {
            store.remove(key);
            protectStore(store);
        }
        return inFile;
    }
    QString value;
    keychainRead(key, &value);
    return value;
}

void Settings::writeSecret(const QString &key, const QString &value)
{
    QSettings store;
    if (secretServiceRuns() && keychainWrite(key, value))
        store.remove(key);
    else
        store.setValue(key, value);
    protectStore(store);
}

void Settings::removeSecret(const QString &key)
{
    QSettings store;
    store.remove(key);
    protectStore(store);
    if (secretServiceRuns())
        keychainDelete(key);
}

QString Settings::defaultLibraryDirectory()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir::toNativeSeparators(documents) + QDir::separator() + Constants::ApplicationName;
}

QStringList Settings::libraryFolders() const
{
    QStringList folders{m_libraryDirectory};
    for (const QString &dir : m_chosenFolders) {
        if (dir != m_libraryDirectory)
            folders.append(dir);
    }
    return folders;
}

void Settings::addLibraryFolder(const QString &dir)
{
    if (dir.isEmpty() || m_chosenFolders.contains(dir))
        return;
    m_chosenFolders.append(dir);
    while (m_chosenFolders.size() > kMaxChosenFolders)
        m_chosenFolders.removeFirst();
    QSettings store;
    store.setValue(kChosenFoldersKey, m_chosenFolders);
    protectStore(store);
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
    // Books downloaded to the folder before stay the customer's to delete.
    addLibraryFolder(m_libraryDirectory);
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
    if (!protectStore(store))
        emit storeFailed(storeFailureText(store));
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

qint64 Settings::downloadLimitBytes() const
{
    if (!m_downloadLimitOn)
        return 0;
    return qint64(m_downloadLimitValue) * (m_downloadLimitInMiB ? 1024 * 1024 : 1024);
}

void Settings::setDownloadLimitOn(bool on)
{
    if (on == m_downloadLimitOn)
        return;
    m_downloadLimitOn = on;
    emit downloadLimitChanged();
}

void Settings::setDownloadLimitValue(int value)
{
    value = qBound(1, value, kMaxDownloadLimitValue);
    if (value == m_downloadLimitValue)
        return;
    m_downloadLimitValue = value;
    emit downloadLimitChanged();
}

void Settings::setDownloadLimitInMiB(bool inMiB)
{
    if (inMiB == m_downloadLimitInMiB)
        return;
    m_downloadLimitInMiB = inMiB;
    emit downloadLimitChanged();
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
    store.setValue(kDownloadLimitOnKey, m_downloadLimitOn);
    store.setValue(kDownloadLimitValueKey, m_downloadLimitValue);
    store.setValue(kDownloadLimitInMiBKey, m_downloadLimitInMiB);
    if (!protectStore(store)) {
        qWarning().noquote() << QStringLiteral("WARNING: Settings: could not write %1").arg(store.fileName());
        emit storeFailed(storeFailureText(store));
    }
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
    m_downloadLimitOn = store.value(kDownloadLimitOnKey, false).toBool();
    m_downloadLimitValue = qBound(1, store.value(kDownloadLimitValueKey, 1).toInt(), kMaxDownloadLimitValue);
    m_downloadLimitInMiB = store.value(kDownloadLimitInMiBKey, true).toBool();
    emit downloadLimitChanged();
    m_chosenFolders = store.value(kChosenFoldersKey).toStringList().mid(0, kMaxChosenFolders);
}
