#include "verifycommand.h"

#include "cliexitcode.h"
#include "console.h"
#include "downloads/idlefileactions.h"
#include "downloads/libraryfile.h"
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

namespace {

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
    , m_verifier(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/') + cacheName())
{
    connect(stopSignals, &StopSignals::stopRequested, this, &VerifyCommand::stop);
    connect(&m_verifier, &LibraryVerifier::progressed, this, &VerifyCommand::onProgressed);
    connect(&m_verifier, &LibraryVerifier::checked, this, &VerifyCommand::onChecked);
    connect(&m_verifier, &LibraryVerifier::finished, this, &VerifyCommand::onFinished);
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
    QVector<LibraryVerifier::Entry> checks;
    checks.reserve(m_entries.size());
    for (const Entry &entry : qAsConst(m_entries))
        checks.append(entry.check);
    m_verifier.start(checks, m_full);
    QCoreApplication::exec();
    return m_exitCode;
}

// The saved statuses are read from the store itself: loading a file whose copy has changed
// size turns it into one that was never fetched, and verify has to report exactly those.
bool VerifyCommand::loadRecordedFiles()
{
    // Loading through the library first puts a damaged store aside; what is left is sound.
    IdleFileActions idle;
    OnlineLibrary library(idle);
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
        LibraryItem item(idle);
        item.setPublisher(itemObject.value(QLatin1String("publisher")).toString());
        item.setTitle(itemObject.value(QLatin1String("title")).toString());
        for (const QJsonValue &fileValue : itemObject.value(QLatin1String("files")).toArray()) {
            const QJsonObject fileObject = fileValue.toObject();
            const int status = fileObject.value(QLatin1String("status")).toInt(LibraryFile::Remote);
            const QString serverName = fileObject.value(QLatin1String("serverFileName")).toString();
            if (!recordedAsPresent(status) || serverName.isEmpty())
                continue;
            LibraryFile file(&item, idle);
            file.setServerFileName(serverName);
            file.setLocalFileName(fileObject.value(QLatin1String("localFileName")).toString());
            file.setHashesMap(fileObject.value(QLatin1String("hashesMap")).toString());
            Entry entry;
            entry.relativePath = SyncCommand::relativePath(&file);
            entry.check.path = m_dir + QLatin1Char('/') + entry.relativePath;
            entry.check.hashes = file.hashes();
            entry.check.recordedHash = fileObject.value(QLatin1String("localFileHash")).toString().toLower();
            entry.check.updateAvailable = status == LibraryFile::UpdateAvailable;
            m_entries.append(entry);
        }
    }
    return true;
}

void VerifyCommand::onProgressed(const LibraryVerifier::Progress &progress)
{
    if (progress.current >= 0 && progress.current < m_entries.size())
        m_console->progress(tr("hashing %1 of %2: %3")
                                .arg(progress.current + 1)
                                .arg(progress.files)
                                .arg(m_entries.at(progress.current).relativePath));
}

void VerifyCommand::onChecked(int index, const LibraryVerifier::Entry &check)
{
    if (index < 0 || index >= m_entries.size())
        return;
    Entry &entry = m_entries[index];
    entry.check = check;
    switch (check.verdict) {
    case LibraryVerifier::Verdict::Missing:
        m_console->line(tr("missing %1").arg(entry.relativePath));
        break;
    case LibraryVerifier::Verdict::Good:
        m_console->line(tr("good %1").arg(entry.relativePath));
        break;
    case LibraryVerifier::Verdict::Changed:
        m_console->line(check.digest.isEmpty() ? tr("changed %1 (it cannot be read)").arg(entry.relativePath)
                                               : tr("changed %1").arg(entry.relativePath));
        break;
    }
}

// What the file should hash to: its own digest when good, else the newest server checksum.
QString VerifyCommand::expectedDigest(const Entry &entry) const
{
    const LibraryVerifier::Entry &check = entry.check;
    if (check.checked && check.verdict == LibraryVerifier::Verdict::Good)
        return check.digest;
    if (check.updateAvailable && !check.recordedHash.isEmpty())
        return check.recordedHash;
    QString newest;
    QDateTime newestDate;
    for (auto it = check.hashes.constBegin(); it != check.hashes.constEnd(); ++it) {
        if (newest.isEmpty() || it.value() > newestDate) {
            newest = it.key();
            newestDate = it.value();
        }
    }
    return newest.isEmpty() ? check.recordedHash : newest;
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

void VerifyCommand::onFinished(const QVector<LibraryVerifier::Entry> &entries, bool cancelled, bool cacheSaved)
{
    m_console->clearProgress();
    if (cancelled) {
        m_exitCode = CliExitCode::InterruptedBase + m_stopSignal;
        QCoreApplication::exit(m_exitCode);
        return;
    }
    const LibraryVerifier::Summary summary = LibraryVerifier::summarize(entries);
    if (!cacheSaved)
        m_console->error(tr("the verify cache %1 could not be written")
                             .arg(QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                                                           + QLatin1Char('/') + cacheName())));
    bool written = true;
    if (!m_md5sumsPath.isEmpty() && !writeMd5sums()) {
        written = false;
        m_console->error(tr("%1 could not be written").arg(QDir::toNativeSeparators(m_md5sumsPath)));
    }
    m_console->line(tr("verify: %1 good, %2 changed, %3 missing; %4 hashed, %5 unchanged since the last verify")
                        .arg(summary.good)
                        .arg(summary.changed)
                        .arg(summary.missing)
                        .arg(summary.hashed)
                        .arg(summary.cached));
    m_exitCode = (summary.changed == 0 && summary.missing == 0 && written) ? CliExitCode::Success
                                                                           : CliExitCode::Failed;
    QCoreApplication::exit(m_exitCode);
}

// What was hashed so far is kept in the cache, and what was not reached stays as it was.
void VerifyCommand::stop(int signalNumber)
{
    if (m_stopSignal != 0)
        return;
    m_stopSignal = signalNumber;
    m_verifier.cancel();
}
