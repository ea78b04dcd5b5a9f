#include "libraryfile.h"

#include "api/remoteapi.h"
#include "api/secretmask.h"
#include "app/core/constants.h"
#include "app/core/settings.h"
#include "downloads/fileactions.h"
#include "downloads/filesystemops.h"
#include "downloads/transfertext.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QSet>
#include <QTimer>
#include <QVector>

#include <cstdio>
#include <utility>

namespace {

// Archive names are numbered .old-001 to .old-999.
const int kMaxArchiveNumber = 999;
const int kMaxExtensionLength = 16;
// The new version of a replaced file arrives under this name and is renamed once verified.
const QString kReplacementSuffix = QStringLiteral(".update");

int g_rateSampleIntervalMs = TransferRateMeter::kSampleIntervalMs;

enum RemoveResult { RemoveOk = 0, RemoveFailed = 2 };

const QSet<QChar> &illegalFileNameChars()
{
    static const QSet<QChar> chars = [] {
        QSet<QChar> set;
        for (const QChar c : QStringLiteral("<>:\"/\\|?*"))
            set.insert(c);
        for (ushort code = 0; code <= 31; ++code)
            set.insert(QChar(code));
        return set;
    }();
    return chars;
}

int removeFile(const QString &path, bool permanently)
{
    if (permanently) {
        if (!QFileInfo::exists(path) || QFile::remove(path))
            return RemoveOk;
        return RemoveFailed;
    }
    return FileSystemOps::moveToTrash(path) ? RemoveOk : RemoveFailed;
}

bool isBelow(const QString &path, const QString &root)
{
    return root == QLatin1String("/") ? path.size() > 1 : path.startsWith(root + QLatin1Char('/'));
}

// A saved value as the property system writes one: null gives the type's default, another
// type is converted, and a value that does not convert leaves the field as it was.
template<typename T>
bool savedValue(const QJsonValue &value, T &field)
{
    QVariant variant = value.toVariant();
    const int type = qMetaTypeId<T>();
    if (variant.userType() != type) {
        if (!variant.isValid())
            variant = QVariant(type, nullptr);
        else if (!variant.convert(type))
            return false;
    }
    field = variant.value<T>();
    return true;
}

QJsonValue savedDate(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(time.toString(Qt::ISODate)) : QJsonValue();
}

} // namespace

LibraryFile::LibraryFile(FileOwner *item, FileActions &actions)
    : m_item(item), m_actions(actions)
{
}

LibraryFile::~LibraryFile() = default;

void LibraryFile::setRateSampleIntervalMs(int ms)
{
    g_rateSampleIntervalMs = ms;
}

void LibraryFile::setLocalDir(const QString &dir)
{
    const bool changed = dir != m_localDir;
    m_localDir = dir;
    emit localDirChanged(m_localDir);
    if (changed)
        emit savedStateChanged();
}

void LibraryFile::setServerFileName(const QString &name)
{
    const QString bounded = boundedText(name);
    if (bounded != m_serverFileName)
        m_serverFileName = bounded;
}

void LibraryFile::setLocalFileName(const QString &name)
{
    const bool changed = name != m_localFileName;
    m_localFileName = name;
    emit localFileNameChanged();
    if (changed)
        emit savedStateChanged();
}

void LibraryFile::setLocalFileHash(const QString &hash)
{
    m_localFileHash = hash;
}

void LibraryFile::setFoundFilePath(const QString &path)
{
    m_foundFilePath = path;
}

void LibraryFile::setErrorMessage(const QString &message)
{
    if (message == m_errorMessage)
        return;
    m_errorMessage = message;
    emit errorMessageChanged();
}

void LibraryFile::setBundleId(int id)
{
    if (id != m_bundleId)
        m_bundleId = id;
}

void LibraryFile::setLastModified(const QDateTime &time)
{
    if (time != m_lastModified)
        m_lastModified = time;
}

void LibraryFile::setLocalLastModified(const QDateTime &time)
{
    m_localLastModified = time;
}

void LibraryFile::setTotalSize(qint64 size)
{
    m_totalSize = size;
}

void LibraryFile::setDlSize(qint64 size)
{
    m_dlSize = size;
}

void LibraryFile::setDownloadProgress(double progress)
{
    if (progress != m_downloadProgress)
        m_downloadProgress = progress;
}

void LibraryFile::setDownloadedSize(qint64 size)
{
    if (size == m_downloadedSize)
        return;
    m_downloadedSize = size;
    emit savedStateChanged();
}

namespace {

// Text that compact JSON writes exactly as it is: printable ASCII with nothing to escape.
bool isPlainJsonText(const QString &text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || u > 0x7e || u == '"' || u == '\\' || u == '/')
            return false;
    }
    return true;
}

} // namespace

QString LibraryFile::hashesMap() const
{
    // Written directly: a document per file made saving a large library several times slower
    // than the serialisation itself. The bytes are those of the compact document below.
    QString text = QStringLiteral("{\"hashes\":[");
    bool plain = true;
    for (auto it = m_hashes.cbegin(); it != m_hashes.cend() && plain; ++it) {
        const QString date = it.value().toString(Constants::ServiceDateFormat);
        plain = isPlainJsonText(it.key()) && isPlainJsonText(date);
        if (it != m_hashes.cbegin())
            text += QLatin1Char(',');
        text += QLatin1String("{\"hash\":\"") + it.key() + QLatin1String("\",\"hashdate\":\"") + date
            + QLatin1String("\"}");
    }
    if (plain)
        return text + QLatin1String("]}");

    QJsonArray entries;
    for (auto it = m_hashes.cbegin(); it != m_hashes.cend(); ++it) {
        QJsonObject entry;
        entry.insert(QStringLiteral("hash"), it.key());
        entry.insert(QStringLiteral("hashdate"), it.value().toString(Constants::ServiceDateFormat));
        entries.append(entry);
    }
    QJsonObject root;
    root.insert(QStringLiteral("hashes"), entries);
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact));
}

namespace {

// The form hashesMap() writes for plain texts, read without building a document; false for
// anything else, which then goes through the JSON parser.
bool readPlainHashes(const QString &text, QList<QPair<QString, QString>> &entries)
{
    const QLatin1String head("{\"hashes\":[");
    const QLatin1String tail("]}");
    const QLatin1String hashKey("{\"hash\":\"");
    const QLatin1String dateKey("\",\"hashdate\":\"");
    const QLatin1String entryEnd("\"}");
    if (!text.startsWith(head) || !text.endsWith(tail))
        return false;
    const QStringView view(text);
    const int end = text.size() - tail.size();
    int pos = head.size();
    auto readString = [&](QLatin1String opening, QString &value) {
        if (!view.mid(pos, end - pos).startsWith(opening))
            return false;
        pos += opening.size();
        const int close = text.indexOf(QLatin1Char('"'), pos);
        if (close < 0 || close >= end)
            return false;
        value = text.mid(pos, close - pos);
        pos = close;
        return isPlainJsonText(value);
    };
    while (pos < end) {
        if (!entries.isEmpty() && text.at(pos++) != QLatin1Char(','))
            return false;
        QString hash;
        QString date;
        if (!readString(hashKey, hash) || !readString(dateKey, date) || !view.mid(pos, end - pos).startsWith(entryEnd))
            return false;
        pos += entryEnd.size();
        entries.append({hash, date});
    }
    return pos == end;
}

} // namespace

void LibraryFile::setHashesMap(const QString &text)
{
    QList<QPair<QString, QString>> plain;
    if (readPlainHashes(text, plain)) {
        for (const auto &entry : qAsConst(plain)) {
            if (!entry.first.isEmpty())
                m_hashes.insert(entry.first, QDateTime::fromString(entry.second, Constants::ServiceDateFormat));
        }
        return;
    }
    const QJsonArray entries = QJsonDocument::fromJson(text.toUtf8()).object().value(QStringLiteral("hashes")).toArray();
    for (const QJsonValue &value : entries) {
        const QJsonObject entry = value.toObject();
        const QString hash = entry.value(QStringLiteral("hash")).toString();
        // An empty key would match a file whose local hash is unknown.
        if (hash.isEmpty())
            continue;
        m_hashes.insert(hash, QDateTime::fromString(entry.value(QStringLiteral("hashdate")).toString(), Constants::ServiceDateFormat));
    }
}

void LibraryFile::setHashes(const QMap<QString, QDateTime> &hashes)
{
    m_hashes = hashes;
}

bool LibraryFile::updateChecksums(const QJsonArray &checksums)
{
    const QMap<QString, QDateTime> hashes = RemoteAPI::checksumsFrom(checksums);
    if (hashes.isEmpty())
        return false;
    qDebug().nospace().noquote() << "INFO: "
                                 << QStringLiteral("File's checksums updated. File: %1. Checksums: ")
                                        .arg(QString::fromLocal8Bit(m_serverFileName.toLocal8Bit()))
                                 << SecretMask::loggedJson(checksums);
    setHashes(hashes);
    return true;
}

bool LibraryFile::matchesDigest(const QString &hash) const
{
    if (m_hashes.isEmpty())
        return true;
    // A saved library may hold digests recorded before they were brought to lower case.
    for (auto it = m_hashes.constBegin(); it != m_hashes.constEnd(); ++it) {
        if (it.key().compare(hash, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString LibraryFile::sanitizeFileName(const QString &name)
{
    QString result = name;
    const QSet<QChar> &illegal = illegalFileNameChars();
    for (QChar &c : result) {
        if (illegal.contains(c))
            c = QLatin1Char('_');
    }
    // An empty component would make the path name its parent folder; "." and ".." are
    // covered by the trailing full stop rule below.
    if (result.isEmpty())
        return QStringLiteral("_");
    if (result.endsWith(QLatin1Char('.')) || result.endsWith(QLatin1Char(' ')))
        result[result.size() - 1] = QLatin1Char('_');
    if (result.toUtf8().size() > kMaxNameBytes) {
        // Shortened before the extension, which tells the viewer what the file is.
        const int dot = result.lastIndexOf(QLatin1Char('.'));
        const QString ext = dot > 0 && result.size() - dot <= kMaxExtensionLength ? result.mid(dot) : QString();
        QString base = result.left(result.size() - ext.size());
        const int room = kMaxNameBytes - ext.toUtf8().size();
        while (base.toUtf8().size() > room)
            base.chop(base.size() >= 2 && base.at(base.size() - 1).isLowSurrogate() ? 2 : 1);
        if (base.endsWith(QLatin1Char('.')) || base.endsWith(QLatin1Char(' ')))
            base[base.size() - 1] = QLatin1Char('_');
        result = base + ext;
    }
    return result;
}

QString LibraryFile::boundedText(const QString &text, int maxLength)
{
    if (text.size() <= maxLength)
        return text;
    // Never half of a character written as two.
    return text.left(text.at(maxLength - 1).isHighSurrogate() ? maxLength - 1 : maxLength);
}

QString LibraryFile::productFolderOf(const QString &publisher, const QString &title, const QString &productId, bool ownFolder)
{
    const QString folder = sanitizeFileName(publisher) + QLatin1Char('/');
    if (!ownFolder)
        return folder + sanitizeFileName(title);
    // The id must survive the shortening of a long title.
    const QString id = QStringLiteral(" (") + productId + QLatin1Char(')');
    QString name = sanitizeFileName(title);
    while (!name.isEmpty() && (name + id).toUtf8().size() > kMaxNameBytes)
        name.chop(1);
    return folder + sanitizeFileName(name + id);
}

QString LibraryFile::productFolder() const
{
    return m_item ? m_item->productFolder() : sanitizeFileName(QString()) + QLatin1Char('/') + sanitizeFileName(QString());
}

QString LibraryFile::downloadPath() const
{
    const QString name = m_localFileName.isEmpty() ? m_serverFileName : m_localFileName;
    return m_localDir + QLatin1Char('/') + productFolder() + QLatin1Char('/') + sanitizeFileName(name);
}

QString LibraryFile::partialPath() const
{
    return partialPathOf(downloadPath());
}

QString LibraryFile::partialPathOf(const QString &path)
{
    return path + QStringLiteral(".part");
}

bool LibraryFile::isPartialName(const QString &path)
{
    return path.endsWith(QStringLiteral(".part"));
}

QString LibraryFile::filePath() const
{
    return m_foundFilePath.isEmpty() ? downloadPath() : m_foundFilePath;
}

qint64 LibraryFile::resumableSize() const
{
    QFileInfo copy(partialPath());
    if (!copy.isFile())
        copy = QFileInfo(downloadPath());
    if (!copy.isFile())
        return 0;
    if (m_downloadedSize > 0)
        return qMin(m_downloadedSize, copy.size());
    return m_totalSize > 0 && copy.size() < m_totalSize ? copy.size() : 0;
}

QByteArray LibraryFile::productId() const
{
    return m_item ? m_item->productId().toUtf8() : QByteArray();
}

void LibraryFile::clearLocalFile()
{
    m_localFileName.clear();
    emit localFileNameChanged();
    m_localFileHash.clear();
    m_foundFilePath.clear();
    emit savedStateChanged();
}

void LibraryFile::resetProgress()
{
    m_dlSize = 0;
    m_downloadedSize = 0;
    m_downloadProgress = 0.0;
    emit downloadProgress(this);
}

void LibraryFile::reportError(const QString &message)
{
    m_actions.reportError(this, message);
}

void LibraryFile::recordFoundCopy()
{
    if (m_status != UpdateAvailable)
        setStatus(Downloaded);
}

void LibraryFile::forgetCopy()
{
    setStatus(Remote);
    setDownloadedSize(0);
    setDownloadProgress(0.0);
}

void LibraryFile::setStatus(Status status)
{
    if (status == m_status)
        return;
    const Status requested = status;
    if (m_replaced.active && (status == Downloaded || status == DownloadError || status == Remote))
        status = endReplace(status == Downloaded);
    if (requested != DownloadError)
        setErrorMessage(QString());
    if (status == Downloading)
        startRateSampling();
    else if (m_status == Downloading)
        stopRateSampling();
    if (status == Remote)
        clearLocalFile();
    if (status == DownloadError) {
        clearLocalFile();
        resetProgress();
    }
    m_status = status;
    emit statusChanged(this);
    emit savedStateChanged();
}

bool LibraryFile::prepareFolder(const QString &libraryDirectory)
{
    m_localDir = libraryDirectory;
    const QString folder = m_localDir + QLatin1Char('/') + productFolder();
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) {
        qDebug().nospace() << "ERROR: LibraryFile: Failed to create path: " << folder;
        setErrorMessage(tr("Failed to create path to store file: %1").arg(folder));
        return false;
    }
    if (QFileInfo::exists(downloadPath()))
        qDebug().nospace() << "INFO: LibraryFile duplicate found: " << downloadPath();
    return true;
}

bool LibraryFile::renameOldFile()
{
    const QString path = filePath();
    if (!QFileInfo::exists(path))
        return true;

    const QString name = sanitizeFileName(m_localFileName.isEmpty() ? m_serverFileName : m_localFileName);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    const QString dir = QFileInfo(path).absolutePath();

    QString candidate;
    for (int n = 1; n <= kMaxArchiveNumber; ++n) {
        candidate = dir + QLatin1Char('/') + base + QStringLiteral(".old-%1").arg(n, 3, 10, QLatin1Char('0')) + ext;
        if (!QFileInfo::exists(candidate))
            break;
    }
    return QFile::rename(path, candidate);
}

void LibraryFile::updateRename()
{
    qDebug().nospace() << "INFO: LibraryFile: Update/Rename download. File: " << m_serverFileName
                       << "; product ID: " << productId();
    if (!renameOldFile()) {
        reportError(tr("Failed to rename file %1").arg(m_serverFileName));
        return;
    }
    resetProgress();
    m_actions.queue(this);
}

void LibraryFile::updateReplace()
{
    qDebug().nospace() << "INFO: LibraryFile: Update/Replace download. File: " << m_serverFileName
                       << "; product ID: " << productId();
    // A copy outside the library folders is never written over.
    if (!m_replaced.active && QFileInfo::exists(filePath()) && !mayRemove(filePath())) {
        reportError(tr("Failed to replace file %1").arg(m_serverFileName));
        return;
    }
    // The old copy stays where it is, and recorded, until the new one has verified.
    if (!m_replaced.active && QFileInfo::exists(filePath())) {
        m_replaced = {true, m_localFileName, m_localFileHash, m_foundFilePath};
        m_foundFilePath.clear();
        setLocalFileName((m_localFileName.isEmpty() ? m_serverFileName : m_localFileName) + kReplacementSuffix);
    }
    resetProgress();
    m_actions.queue(this);
}

LibraryFile::Status LibraryFile::endReplace(bool verified)
{
    const Replaced old = std::exchange(m_replaced, {});
    const QString staged = downloadPath();
    const QString newHash = m_localFileHash;
    m_foundFilePath = old.foundFilePath;
    setLocalFileName(old.localFileName);
    if (verified) {
        // rename(2) swaps the names in one step: there is always a whole copy under the name.
        if (std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(filePath()).constData()) == 0) {
            qDebug().nospace() << "INFO: LibraryFile: Replaced " << filePath();
            return Downloaded;
        }
        reportError(tr("Failed to replace file %1").arg(m_serverFileName));
    }
    qDebug().nospace() << "INFO: LibraryFile: Update not verified; the old copy stays: " << filePath()
                       << " (new hash " << newHash << ")";
    QFile::remove(staged);
    QFile::remove(partialPathOf(staged));
    m_localFileHash = old.localFileHash;
    resetProgress();
    return UpdateAvailable;
}

bool LibraryFile::updateLocalFile(const QString &dir, const QString &fileName, const QString &hash)
{
    const QDateTime newDate = m_hashes.value(hash);
    if (!hash.isEmpty() && newDate.isValid()) {
        const QDateTime curDate = m_hashes.value(m_localFileHash);
        if (curDate.isValid() && newDate < curDate)
            return false;
    }
    m_actions.markFound(this);
    // The folder of a scan is one the customer chose: what it found there is theirs to delete.
    m_actions.addLibraryFolder(dir);
    setLocalDir(dir);
    setLocalFileName(fileName);
    m_localFileHash = hash;
    qDebug().nospace() << "INFO: LibraryFile: Local file updated: " << fileName << " hash: " << hash
                       << " localDir: " << dir;
    return true;
}

QJsonValue LibraryFile::toJson() const
{
    // Values converted as the property system would hand them over; three keys are left out
    // while they hold their defaults.
    QJsonObject object;
    object.insert(QLatin1String("bundleId"), m_bundleId);
    object.insert(QLatin1String("dlSize"), QJsonValue::fromVariant(QVariant(m_dlSize)));
    object.insert(QLatin1String("downloadProgress"), m_downloadProgress);
    if (m_downloadedSize != 0)
        object.insert(QLatin1String("downloadedSize"), QJsonValue::fromVariant(QVariant(m_downloadedSize)));
    object.insert(QLatin1String("errorMessage"), m_errorMessage);
    object.insert(QLatin1String("hashesMap"), hashesMap());
    object.insert(QLatin1String("lastModified"), savedDate(m_lastModified));
    if (!m_localDir.isEmpty())
        object.insert(QLatin1String("localDir"), m_localDir);
    // While a replacing download runs, the saved record is still the old copy's.
    object.insert(QLatin1String("localFileHash"), m_replaced.active ? m_replaced.localFileHash : m_localFileHash);
    object.insert(QLatin1String("localFileName"), m_replaced.active ? m_replaced.localFileName : m_localFileName);
    object.insert(QLatin1String("localLastModified"), savedDate(m_localLastModified));
    object.insert(QLatin1String("serverFileName"), m_serverFileName);
    if (m_replaced.active)
        object.insert(QLatin1String("status"), int(UpdateAvailable));
    else if (m_status != Remote)
        object.insert(QLatin1String("status"), int(m_status));
    object.insert(QLatin1String("totalSize"), QJsonValue::fromVariant(QVariant(m_totalSize)));
    return object;
}

void LibraryFile::fromJson(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    Status saved = Remote;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        const QString key = it.key();
        const QJsonValue field = it.value();
        if (key == QLatin1String("status")) {
            const int number = field.toInt(Remote);
            saved = (number >= Remote && number <= DownloadError) ? static_cast<Status>(number) : Remote;
            if (saved == Downloading)
                saved = Queued;
        } else if (key == QLatin1String("fileName")) {
            setServerFileName(field.toString());
        } else if (key == QLatin1String("serverFileName")) {
            QString text;
            if (savedValue(field, text))
                setServerFileName(text);
        } else if (key == QLatin1String("localFileName")) {
            QString text;
            if (savedValue(field, text))
                setLocalFileName(text);
        } else if (key == QLatin1String("localFileHash")) {
            savedValue(field, m_localFileHash);
        } else if (key == QLatin1String("localDir")) {
            QString text;
            if (savedValue(field, text))
                setLocalDir(text);
        } else if (key == QLatin1String("errorMessage")) {
            QString text;
            if (savedValue(field, text))
                setErrorMessage(text);
        } else if (key == QLatin1String("hashesMap")) {
            QString text;
            if (savedValue(field, text))
                setHashesMap(text);
        } else if (key == QLatin1String("bundleId")) {
            savedValue(field, m_bundleId);
        } else if (key == QLatin1String("lastModified")) {
            savedValue(field, m_lastModified);
        } else if (key == QLatin1String("localLastModified")) {
            savedValue(field, m_localLastModified);
        } else if (key == QLatin1String("totalSize")) {
            savedValue(field, m_totalSize);
        } else if (key == QLatin1String("dlSize")) {
            savedValue(field, m_dlSize);
        } else if (key == QLatin1String("downloadProgress")) {
            savedValue(field, m_downloadProgress);
        } else if (key == QLatin1String("downloadedSize")) {
            savedValue(field, m_downloadedSize);
        }
        // Anything else (a foreign key, the found path that is never stored) is ignored.
    }
    // Sizes and progress that cannot be real read as nothing done yet.
    if (!(m_downloadProgress >= 0.0 && m_downloadProgress <= 1.0))
        m_downloadProgress = 0.0;
    m_totalSize = qMax<qint64>(0, m_totalSize);
    m_dlSize = qMax<qint64>(0, m_dlSize);
    m_downloadedSize = qMax<qint64>(0, m_downloadedSize);

    if ((saved == Downloaded || saved == UpdateAvailable) && !copyMatchesRecordedSize()) {
        // A copy cut short (a kill during a re-download) must be fetched again, not trusted.
        qDebug().nospace() << "WARNING: LibraryFile: size on disk differs from the recorded one, "
                           << "not downloaded: " << filePath();
        clearLocalFile();
        m_downloadedSize = 0;
        m_downloadProgress = 0.0;
        saved = Remote;
    }
    if (saved == Queued || saved == DownloadPaused) {
        const QFileInfo partial(QFileInfo::exists(partialPath()) ? partialPath() : downloadPath());
        const qint64 full = m_dlSize > 0 ? m_dlSize : m_totalSize;
        if (partial.exists() && partial.size() > 0) {
            // Only what is on disk counts; a copy may be shorter than its record after a kill.
            m_downloadedSize = qMin(m_downloadedSize, partial.size());
            m_downloadProgress = full > 0 ? qBound(0.0, double(m_downloadedSize) / double(full), 0.999) : 0.0;
        } else {
            m_downloadedSize = 0;
            m_downloadProgress = 0.0;
        }
    }
    // The file's own record: a queued one rejoins the queue when its library says so.
    setStatus(saved);
}

bool LibraryFile::copyMatchesRecordedSize() const
{
    const qint64 recorded = m_dlSize > 0 ? m_dlSize : m_totalSize;
    const QFileInfo copy(filePath());
    // A missing copy is reported when it is opened; an unknown size cannot be compared.
    return recorded <= 0 || !copy.exists() || copy.size() == recorded;
}

void LibraryFile::stopDownload()
{
    if (m_status == Downloading)
        stopRateSampling();
    const bool partial = QFileInfo::exists(partialPath()) || QFileInfo::exists(downloadPath());
    const Status next = (m_status == Downloading && partial) ? DownloadPaused : Remote;
    if (next == m_status)
        return;
    m_status = next;
    emit statusChanged(this);
    emit savedStateChanged();
}

void LibraryFile::startDownload()
{
    qDebug().nospace() << "INFO: LibraryFile: Added to download queue. File: " << m_serverFileName
                       << "; product ID: " << productId();
    if (m_item)
        m_item->fileQueued();
    m_actions.queue(this);
    if (m_item && !m_actions.isSyncing())
        m_item->requestTitleInfo();
}

void LibraryFile::pauseDownload()
{
    qDebug().nospace() << "INFO: LibraryFile: Download paused. File: " << downloadPath();
    m_actions.pause(this);
}

void LibraryFile::resumeDownload()
{
    m_actions.queue(this);
}

void LibraryFile::cancelDownload()
{
    qDebug().nospace() << "INFO: LibraryFile: Download cancelled. File: " << downloadPath();
    resetProgress();
    m_actions.cancel(this);
}

void LibraryFile::openInDefaultViewer()
{
    const QString path = filePath();
    qDebug().nospace() << "INFO: LibraryFile: Open file in default viewer: " << path;
    if (!QFileInfo::exists(path)) {
        setErrorMessage(tr("File missing"));
        m_actions.fail(this);
        clearLocalFile();
        return;
    }
    const bool opened = FileSystemOps::openInDefaultViewer(path);
    qDebug().nospace() << "INFO: LibraryFile: Opened: " << opened;
}

void LibraryFile::showInFolder()
{
    FileSystemOps::showInFolder(filePath());
}

void LibraryFile::deleteFile()
{
    if (removeLocalCopy())
        m_actions.cancel(this);
}

bool LibraryFile::mayRemove(const QString &path) const
{
    const QFileInfo entry(path);
    const QString folder = QFileInfo(entry.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        return false;
    const QString here = folder + QLatin1Char('/') + entry.fileName();
    // A link that leads nowhere names nothing but itself.
    const QString target = entry.isSymLink() && entry.exists() ? entry.canonicalFilePath() : here;
    const QStringList roots = m_actions.libraryFolders();
    auto inside = [&roots](const QString &real) {
        for (const QString &root : roots) {
            const QString canonicalRoot = root.isEmpty() ? QString() : QFileInfo(root).canonicalFilePath();
            if (!canonicalRoot.isEmpty() && isBelow(real, canonicalRoot))
                return true;
        }
        return false;
    };
    return inside(here) && inside(target);
}

bool LibraryFile::removeLocalCopy()
{
    // A stopped transfer's partial copy goes with the file; it is never of use alone.
    const QString partial = partialPath();
    if (QFileInfo(partial).isFile() && mayRemove(partial))
        QFile::remove(partial);
    qDebug().nospace() << "INFO: LibraryFile: Delete file: " << filePath();
    if (!QFileInfo::exists(filePath()) && !QFileInfo(filePath()).isSymLink()) {
        clearLocalFile();
        return true;
    }
    if (!mayRemove(filePath())) {
        // The record goes; the file it named stays where it is.
        qDebug().nospace().noquote() << "WARNING: LibraryFile: Not deleted, outside the library folders: \""
                                     << QDir::toNativeSeparators(filePath()) << "\".";
        reportError(tr("File %1 lies outside the library folder and was not deleted.")
                        .arg(QDir::toNativeSeparators(filePath())));
        clearLocalFile();
        resetProgress();
        return true;
    }

    if (removeFile(filePath(), m_actions.deletesPermanently()) != RemoveOk) {
        reportError(tr("Error deleting file \"%0\". Please check it's not opened by other applications.")
                        .arg(QDir::toNativeSeparators(m_serverFileName)));
        qDebug().nospace().noquote() << "ERROR: LibraryFile: Error deleting file \""
                                     << QDir::toNativeSeparators(filePath()) << "\".";
        return false;
    }

    qDebug().nospace() << "INFO: LibraryFile: File " << filePath() << " is deleted";
    clearLocalFile();
    resetProgress();
    return true;
}

void LibraryFile::askAndDeleteFile()
{
    if (m_actions.confirmsDelete())
        m_actions.askDeleteFile(this);
    else
        deleteFile();
}

void LibraryFile::updateDownload()
{
    const Settings::UpdateBookPolicy policy = m_actions.updateBookPolicy();
    qDebug().nospace() << "INFO: LibraryFile: Update download. File: " << m_serverFileName
                       << "; update policy: "
                       << QMetaEnum::fromType<Settings::UpdateBookPolicy>().valueToKey(policy);
    switch (policy) {
    case Settings::RenameOldFiles:
        updateRename();
        break;
    case Settings::ReplaceOldFiles:
        updateReplace();
        break;
    default:
        // A stored policy this version does not know asks, as the first one does.
        m_actions.askUpdateFile(this);
        break;
    }
}

QString LibraryFile::transferText() const
{
    return TransferText::summary(m_transfer.rate, m_transfer.secondsLeft);
}

void LibraryFile::startRateSampling()
{
    if (!m_rateTimer) {
        m_rateTimer = new QTimer(this);
        connect(m_rateTimer, &QTimer::timeout, this, &LibraryFile::sampleRate);
    }
    m_rateClock.start();
    m_rateMeter.reset(0, m_downloadedSize);
    m_rateTimer->start(g_rateSampleIntervalMs);
}

void LibraryFile::stopRateSampling()
{
    if (m_rateTimer)
        m_rateTimer->stop();
    setTransferFigures(0, -1);
}

void LibraryFile::sampleRate()
{
    m_rateMeter.addSample(m_rateClock.elapsed(), m_downloadedSize);
    const qint64 full = m_dlSize > 0 ? m_dlSize : m_totalSize;
    const qint64 rate = m_rateMeter.rate();
    setTransferFigures(rate, full > 0 && rate > 0 ? m_rateMeter.secondsLeft(full - m_downloadedSize) : -1);
}

void LibraryFile::setTransferFigures(qint64 rate, int secondsLeft)
{
    const int changed = m_transfer.set(rate, secondsLeft);
    if (changed & TransferFigures::Rate)
        emit transferRateChanged();
    if (changed & TransferFigures::TimeLeft)
        emit timeLeftChanged();
    if (changed)
        emit transferTextChanged();
}

void LibraryFile::onDownloadedProgress(double progress)
{
    if (progress == 1.0) {
        qDebug().nospace() << "INFO: LibraryFile: Downloading finished, updating downloaded date";
        if (m_item)
            m_item->stampDownloadedDate();
    }
    m_downloadProgress = progress;
    emit downloadProgress(this);
}
