#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The MD5 of one file read in large blocks: only the bytes it had when opened, and no digest
// at all when it changed while being read. The folder scan and the library check both hash
// through it, on their worker threads.
class FileHasher
{
public:
    enum class Outcome { Ok, Unreadable, Canceled };
    struct Result {
        Outcome outcome = Outcome::Unreadable;
        QString digest;
        qint64 size = 0;
        qint64 modifiedMs = 0;
    };
    // Asked between blocks, so one block is also how long a cancel may wait.
    using CancelCheck = std::function<bool()>;
    // Bytes just read, and how far into the file that is.
    using ReadReport = std::function<void(qint64 bytes, qint64 fileDone)>;

    // Large blocks keep the hashing at the speed of the digest.
    static constexpr int kBlockSize = 2 * 1024 * 1024;

    Result hash(const QString &path, const CancelCheck &cancelled, const ReadReport &report);
    // Gives back the block buffer between runs.
    void release();

private:
    QByteArray m_buffer;
};
