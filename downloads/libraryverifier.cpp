#include "libraryverifier.h"

#include "downloads/filehasher.h"
#include "downloads/verifycache.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <utility>

LibraryVerifier::LibraryVerifier(QString cachePath, QObject *parent)
    : QObject(parent), m_cachePath(std::move(cachePath))
{
    qRegisterMetaType<LibraryVerifier::Entry>();
    qRegisterMetaType<LibraryVerifier::Progress>();
    qRegisterMetaType<QVector<LibraryVerifier::Entry>>();
}

LibraryVerifier::~LibraryVerifier()
{
    if (m_cancelled)
        m_cancelled->store(true);
    if (m_thread.joinable())
        m_thread.join();
}

void LibraryVerifier::start(QVector<Entry> entries, bool full)
{
    if (m_running)
        return;
    // The last check's thread has sent its result and is ending.
    if (m_thread.joinable())
        m_thread.join();
    m_running = true;
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    m_thread = std::thread([this, entries = std::move(entries), full]() mutable { run(std::move(entries), full); });
}

void LibraryVerifier::cancel()
{
    if (m_running && m_cancelled)
        m_cancelled->store(true);
}

LibraryVerifier::Verdict LibraryVerifier::judge(const Entry &entry, const QString &digest, bool present)
{
    if (!present)
        return Verdict::Missing;
    // The recorded digest is the one a server checksum matched when the file was fetched; it
    // vouches for a copy whose newer version is not downloaded yet, or whose checksums the
    // service has stopped listing.
    const bool matchesServer = !digest.isEmpty() && entry.hashes.contains(digest);
    const bool matchesRecord = !digest.isEmpty() && digest == entry.recordedHash
        && (entry.updateAvailable || entry.hashes.isEmpty());
    return matchesServer || matchesRecord ? Verdict::Good : Verdict::Changed;
}

LibraryVerifier::Summary LibraryVerifier::summarize(const QVector<Entry> &entries)
{
    Summary summary;
    for (const Entry &entry : entries) {
        if (!entry.checked)
            continue;
        summary.good += entry.verdict == Verdict::Good ? 1 : 0;
        summary.changed += entry.verdict == Verdict::Changed ? 1 : 0;
        summary.missing += entry.verdict == Verdict::Missing ? 1 : 0;
        if (entry.fromCache)
            ++summary.cached;
        else if (entry.verdict != Verdict::Missing)
            ++summary.hashed;
    }
    return summary;
}

// On the worker thread; only queued calls reach the object, which waits for it when deleted.
void LibraryVerifier::run(QVector<Entry> entries, bool full)
{
    const std::shared_ptr<std::atomic<bool>> cancelled = m_cancelled;
    VerifyCache cache(m_cachePath);
    cache.load();

    // One look at each file first: its size for the total, and whether the cache has it.
    struct Look {
        bool present = false;
        qint64 size = 0;
        QDateTime modified;
        QString cached;
    };
    QVector<Look> looks(entries.size());
    Progress progress;
    progress.files = entries.size();
    for (int i = 0; i < entries.size() && !cancelled->load(); ++i) {
        const QFileInfo info(entries.at(i).path);
        Look &look = looks[i];
        look.present = info.isFile();
        if (!look.present)
            continue;
        look.size = info.size();
        look.modified = info.lastModified();
        if (!full)
            look.cached = cache.digest(entries.at(i).path, look.size, look.modified);
        if (look.cached.isEmpty())
            progress.bytes += look.size;
    }

    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sinceReport;
    sinceReport.start();
    const auto report = [this, &progress, &clock, &sinceReport](bool now) {
        if (!now && sinceReport.elapsed() < kProgressIntervalMs)
            return;
        sinceReport.restart();
        const qint64 elapsedMs = clock.elapsed();
        // The rate is worth a guess once a second of reading has passed.
        if (elapsedMs >= 1000 && progress.bytesDone > 0) {
            const double perMs = double(progress.bytesDone) / double(elapsedMs);
            progress.secondsLeft = int(double(progress.bytes - progress.bytesDone) / perMs / 1000.0 + 0.5);
        }
        QMetaObject::invokeMethod(this, [this, progress] { emit progressed(progress); }, Qt::QueuedConnection);
    };
    const auto finishEntry = [this, &entries, &progress](int index) {
        Entry &entry = entries[index];
        entry.checked = true;
        ++progress.filesDone;
        QMetaObject::invokeMethod(this, [this, index, entry] { emit checked(index, entry); }, Qt::QueuedConnection);
    };

    FileHasher hasher;
    for (int i = 0; i < entries.size() && !cancelled->load(); ++i) {
        Entry &entry = entries[i];
        const Look &look = looks.at(i);
        if (!look.present || !look.cached.isEmpty()) {
            entry.fromCache = look.present;
            entry.digest = look.cached;
            entry.verdict = judge(entry, entry.digest, look.present);
            if (look.present)
                cache.record(entry.path, look.size, look.modified, look.cached);
            finishEntry(i);
            report(false);
            continue;
        }
        progress.current = i;
        report(true);
        const qint64 startBytes = progress.bytesDone;
        const FileHasher::Result hashed = hasher.hash(
            entry.path, [&cancelled] { return cancelled->load(); },
            [&progress, &report](qint64 bytes, qint64) {
                progress.bytesDone += bytes;
                report(false);
            });
        if (hashed.outcome == FileHasher::Outcome::Canceled)
            break;
        // A file shorter or longer than it was at the first look counts as its own size.
        progress.bytesDone = startBytes + look.size;
        progress.current = -1;
        if (hashed.outcome == FileHasher::Outcome::Ok)
            cache.record(entry.path, hashed.size, QDateTime::fromMSecsSinceEpoch(hashed.modifiedMs), hashed.digest);
        entry.digest = hashed.digest;
        entry.verdict = judge(entry, entry.digest, QFileInfo(entry.path).isFile());
        finishEntry(i);
    }
    hasher.release();

    const bool wasCancelled = cancelled->load();
    // What was hashed so far is kept, and what was not reached stays as it was.
    if (wasCancelled)
        cache.keepUnrecorded();
    const bool saved = cache.save();
    progress.current = -1;
    progress.secondsLeft = wasCancelled ? -1 : 0;
    report(true);
    QMetaObject::invokeMethod(this, [this, entries, wasCancelled, saved] {
        m_running = false;
        emit finished(entries, wasCancelled, saved);
    }, Qt::QueuedConnection);
}
