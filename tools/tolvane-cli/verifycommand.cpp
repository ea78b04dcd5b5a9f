#include "verifycommand.h"

#include "cliexitcode.h"
#include "console.h"
#include "downloads/libraryfile.h"
#include "downloads/md5digest.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"
#include "library/storefile.h"
#include "stopsignals.h"
#include "synccommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTimer>

namespace {

const qint64 kHashBlockSize = 4 * 1024 * 1024;

bool recordedAsPresent(int status)
{
    return status == LibraryFile::Downloaded || status == LibraryFile::Local || status == LibraryFile::UpdateAvailable;
}

} // namespace

QString VerifyCommand::cacheName()
{
    return QStringLiteral("cli-verified.json");
}

QString VerifyCommand::md5sumsLine(const QString &digest, const QString &relativePath)
{
    if (!relativePath.contains(QLatin1Char('\\')) && !relativePath.contains(QLatin1Char('\n'))
        && !relativePath.contains(QLatin1Char('\r')))
        return digest + QStringLiteral("  ") + relativePath + QLatin1Char('\n');
    QString escaped = relativePath;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\n'), QStringLiteral("\\n"))
        .replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return QLatin1Char('\\') + digest + QStringLiteral("  ") + escaped + QLatin1Char('\n');
}

VerifyCommand::VerifyCommand(Console *console, StopSignals *stopSignals, const QString &dir,
                             const QString &md5sumsPath, bool full, QObject *parent)
    : QObject(parent)
    , m_console(console)
    , m_dir(QDir::cleanPath(QDir(dir).absolutePath()))
    , m_md5sumsPath(md5sumsPath)
    , m_full(full)
    , m_cache(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/') + cacheName())
{
    connect(stopSignals, &StopSignals::stopRequested, this, &VerifyCommand::stop);
}

VerifyCommand::~VerifyCommand() = default;

int VerifyCommand::run()
{
    if (!QFileInfo(m_dir).isDir()) {
        m_console->error(tr("the library folder %1 does not exist").arg(QDir::toNativeSeparators(m_dir)));
        return CliExitCode::Failed;
    }
    if (!loadRecordedFiles())
        m_console->error(tr("no saved library of this tool yet; run \"tolvane-cli sync --dir DIR\" first"));
    m_cache.load();
    QTimer::singleShot(0, this, &VerifyCommand::checkNext);
    QCoreApplication::exec();
    return m_exitCode;
}

// The saved statuses are read from the store itself: loading a file whose copy has changed
// size turns it into one that was never fetched, and verify has to report exactly those.
bool VerifyCommand::loadRecordedFiles()
{
    // Loading through the library first puts a damaged store aside; what is left is sound.
    OnlineLibrary library;
    library.setStoreName(SyncCommand::storeName());
    library.load();
    QFile store(library.storePath());
    if (!store.open(QIODevice::ReadOnly))
        return false;
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
    const QJsonArray items = QJsonDocument::fromBinaryData(store.readAll(), QJsonDocument::Validate).array();
QT_WARNING_POP
    for (const QJsonValue &itemValue : items) {
        const QJsonObject itemObject = itemValue.toObject();
        LibraryItem item;
        item.setPublisher(itemObject.value(QLatin1String("publisher")).toString());
        item.setTitle(itemObject.value(QLatin1String("title")).toString());
        for (const QJsonValue &fileValue : itemObject.value(QLatin1String("files")).toArray()) {
            const QJsonObject fileObject = fileValue.toObject();
            const int status = fileObject.value(QLatin1String("status")).toInt(LibraryFile::Remote);
            const QString serverName = fileObject.value(QLatin1String("serverFileName")).toString();
            if (!recordedAsPresent(status) || serverName.isEmpty())
                continue;
            LibraryFile file(&item, DownloadContext());
            file.setServerFileName(serverName);
            file.setLocalFileName(fileObject.value(QLatin1String("localFileName")).toString());
            file.setHashesMap(fileObject.value(QLatin1String("hashesMap")).toString());
            Entry entry;
            entry.relativePath = SyncCommand::relativePath(&file);
            entry.hashes = file.hashes();
            entry.recordedHash = fileObject.value(QLatin1String("localFileHash")).toString().toLower();
            entry.updateAvailable = status == LibraryFile::UpdateAvailable;
            m_entries.append(entry);
        }
    }
    return true;
}

QString VerifyCommand::absolutePath(const Entry &entry) const
{
    return m_dir + QLatin1Char('/') + entry.relativePath;
}

void VerifyCommand::checkNext()
{
    while (!m_ended && m_next < m_entries.size()) {
        Entry &entry = m_entries[m_next];
        const QFileInfo info(absolutePath(entry));
        if (!info.isFile()) {
            judge(entry, QString());
            ++m_next;
            continue;
        }
        m_pendingSize = info.size();
        m_pendingModified = info.lastModified();
        const QString path = absolutePath(entry);
        const QString cached = m_full ? QString() : m_cache.digest(path, m_pendingSize, m_pendingModified);
        if (!cached.isEmpty()) {
            ++m_cached;
            m_cache.record(path, m_pendingSize, m_pendingModified, cached);
            judge(entry, cached);
            ++m_next;
            continue;
        }
        m_console->progress(tr("hashing %1 of %2: %3").arg(m_next + 1).arg(m_entries.size()).arg(entry.relativePath));
        m_hashFile.setFileName(path);
        if (!m_hashFile.open(QIODevice::ReadOnly)) {
            onHashed(QString());
            return;
        }
        m_digest = std::make_unique<Md5Digest>();
        QTimer::singleShot(0, this, &VerifyCommand::hashSome);
        return;
    }
    if (!m_ended)
        finish();
}

void VerifyCommand::hashSome()
{
    if (m_ended)
        return;
    const QByteArray block = m_hashFile.read(kHashBlockSize);
    if (!block.isEmpty()) {
        m_digest->addData(block);
        QTimer::singleShot(0, this, &VerifyCommand::hashSome);
        return;
    }
    // An empty read is the end of the file, or an error that leaves the file unread.
    const bool complete = m_hashFile.error() == QFileDevice::NoError && m_hashFile.atEnd();
    m_hashFile.close();
    const QString digest = complete ? m_digest->hexResult() : QString();
    m_digest.reset();
    onHashed(digest);
}

void VerifyCommand::onHashed(const QString &digest)
{
    if (m_ended)
        return;
    Entry &entry = m_entries[m_next];
    ++m_hashed;
    if (!digest.isEmpty())
        m_cache.record(absolutePath(entry), m_pendingSize, m_pendingModified, digest);
    judge(entry, digest);
    ++m_next;
    checkNext();
}

void VerifyCommand::judge(Entry &entry, const QString &digest)
{
    entry.digest = digest;
    if (!QFileInfo(absolutePath(entry)).isFile()) {
        entry.verdict = Verdict::Missing;
        m_console->line(tr("missing %1").arg(entry.relativePath));
        return;
    }
    // The recorded digest is the one a server checksum matched when the file was fetched;
    // it vouches for a copy whose newer version is not downloaded yet, or whose checksums
    // the service has stopped listing.
    const bool matchesServer = !digest.isEmpty() && entry.hashes.contains(digest);
    const bool matchesRecord = !digest.isEmpty() && digest == entry.recordedHash
        && (entry.updateAvailable || entry.hashes.isEmpty());
    if (matchesServer || matchesRecord) {
        entry.verdict = Verdict::Good;
        m_console->line(tr("good %1").arg(entry.relativePath));
        return;
    }
    entry.verdict = Verdict::Changed;
    m_console->line(digest.isEmpty() ? tr("changed %1 (it cannot be read)").arg(entry.relativePath)
                                     : tr("changed %1").arg(entry.relativePath));
}

// What the file should hash to: its own digest when good, else the newest server checksum.
QString VerifyCommand::expectedDigest(const Entry &entry) const
{
    if (entry.verdict == Verdict::Good)
        return entry.digest;
    if (entry.updateAvailable && !entry.recordedHash.isEmpty())
        return entry.recordedHash;
    QString newest;
    QDateTime newestDate;
    for (auto it = entry.hashes.constBegin(); it != entry.hashes.constEnd(); ++it) {
        if (newest.isEmpty() || it.value() > newestDate) {
            newest = it.key();
            newestDate = it.value();
        }
    }
    return newest.isEmpty() ? entry.recordedHash : newest;
}

bool VerifyCommand::writeMd5sums() const
{
    QString text;
    for (const Entry &entry : m_entries) {
        const QString digest = expectedDigest(entry);
        if (!digest.isEmpty())
            text += md5sumsLine(digest, entry.relativePath);
    }
    return StoreFile::write(m_md5sumsPath, text.toUtf8()).isEmpty();
}

void VerifyCommand::finish()
{
    m_console->clearProgress();
    int good = 0;
    int changed = 0;
    int missing = 0;
    for (const Entry &entry : qAsConst(m_entries)) {
        good += entry.verdict == Verdict::Good ? 1 : 0;
        changed += entry.verdict == Verdict::Changed ? 1 : 0;
        missing += entry.verdict == Verdict::Missing ? 1 : 0;
    }
    if (!m_cache.save())
        m_console->error(tr("the verify cache %1 could not be written").arg(QDir::toNativeSeparators(m_cache.path())));
    bool written = true;
    if (!m_md5sumsPath.isEmpty() && !writeMd5sums()) {
        written = false;
        m_console->error(tr("%1 could not be written").arg(QDir::toNativeSeparators(m_md5sumsPath)));
    }
    m_console->line(tr("verify: %1 good, %2 changed, %3 missing; %4 hashed, %5 unchanged since the last verify")
                        .arg(good)
                        .arg(changed)
                        .arg(missing)
                        .arg(m_hashed)
                        .arg(m_cached));
    m_ended = true;
    m_exitCode = (changed == 0 && missing == 0 && written) ? CliExitCode::Success : CliExitCode::Failed;
    QCoreApplication::exit(m_exitCode);
}

void VerifyCommand::stop(int signalNumber)
{
    if (m_ended)
        return;
    m_ended = true;
    m_hashFile.close();
    m_console->clearProgress();
    // What was hashed so far is kept, and what was not reached stays as it was.
    m_cache.keepUnrecorded();
    m_cache.save();
    m_exitCode = CliExitCode::InterruptedBase + signalNumber;
    QCoreApplication::exit(m_exitCode);
}
