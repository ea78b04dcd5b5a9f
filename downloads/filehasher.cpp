#include "filehasher.h"

#include "downloads/md5digest.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using ReadBlock = std::function<qint64(char *, qint64)>;

FileHasher::Outcome hashBlocks(qint64 size, Md5Digest &md5, char *buffer, const ReadBlock &readBlock,
                               const FileHasher::CancelCheck &cancelled, const FileHasher::ReadReport &report)
{
    qint64 read = 0;
    while (read < size) {
        if (cancelled())
            return FileHasher::Outcome::Canceled;
        const qint64 n = readBlock(buffer, qMin<qint64>(size - read, FileHasher::kBlockSize));
        if (n <= 0)
            return FileHasher::Outcome::Unreadable;
        md5.addData(buffer, n);
        read += n;
        report(n, read);
    }
    return FileHasher::Outcome::Ok;
}

} // namespace

void FileHasher::release()
{
    m_buffer.clear();
    m_buffer.squeeze();
}

FileHasher::Result FileHasher::hash(const QString &path, const CancelCheck &cancelled, const ReadReport &report)
{
    if (m_buffer.size() < kBlockSize)
        m_buffer.resize(kBlockSize);
    Result result;
    Md5Digest md5;
#ifdef Q_OS_UNIX
    // Non-blocking so that a file replaced by a pipe since the listing cannot hang the open.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return result;
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat before;
    if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode))
        return result;
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    // Only the bytes the file had when opened: a file that keeps growing must not keep the
    // reading going.
    result.outcome = hashBlocks(before.st_size, md5, m_buffer.data(), [fd](char *into, qint64 length) {
        ssize_t n;
        do
            n = ::read(fd, into, size_t(length));
        while (n < 0 && errno == EINTR);
        return qint64(n);
    }, cancelled, report);
    if (result.outcome != Outcome::Ok)
        return result;
    struct stat after;
    if (::fstat(fd, &after) != 0 || after.st_size != before.st_size || after.st_ino != before.st_ino
        || after.st_mtim.tv_sec != before.st_mtim.tv_sec || after.st_mtim.tv_nsec != before.st_mtim.tv_nsec) {
        result.outcome = Outcome::Unreadable;
        return result;
    }
    result.size = after.st_size;
    result.modifiedMs = qint64(after.st_mtim.tv_sec) * 1000 + after.st_mtim.tv_nsec / 1000000;
#else
    QFile file(path);
    const QFileInfo before(path);
    if (!before.isFile() || !file.open(QIODevice::ReadOnly))
        return result;
    result.outcome = hashBlocks(file.size(), md5, m_buffer.data(), [&file](char *into, qint64 length) {
        return file.read(into, length);
    }, cancelled, report);
    if (result.outcome != Outcome::Ok)
        return result;
    const QFileInfo after(path);
    if (after.size() != before.size() || after.lastModified() != before.lastModified()) {
        result.outcome = Outcome::Unreadable;
        return result;
    }
    result.size = after.size();
    result.modifiedMs = after.lastModified().toMSecsSinceEpoch();
#endif
    result.digest = md5.hexResult();
    if (result.digest.isEmpty())
        result.outcome = Outcome::Unreadable;
    return result;
}
