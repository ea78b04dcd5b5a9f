#pragma once

#include <QString>

// A small file system of its own, so that "full" and "read-only" are real, even for root whom
// permission bits do not stop. Needs the right to mount; tests that depend on it skip without.
class ScratchMount
{
public:
    ScratchMount(const QString &dir, qint64 bytes);
    ~ScratchMount();
    ScratchMount(const ScratchMount &) = delete;
    ScratchMount &operator=(const ScratchMount &) = delete;

    bool mounted() const { return m_mounted; }
    bool makeReadOnly() { return remount(true); }
    // Leaves the file system read-only, or full to the last block with a file named "filler";
    // allowWrites() undoes either.
    bool refuseWrites(bool readOnly);
    bool allowWrites();

private:
    bool remount(bool readOnly);

    QString m_dir;
    bool m_mounted = false;
    bool m_readOnly = false;
};
