#include "scratchmount.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>

ScratchMount::ScratchMount(const QString &dir, qint64 bytes)
    : m_dir(dir)
{
    QDir().mkpath(dir);
    const QByteArray options = "size=" + QByteArray::number(bytes);
    m_mounted = ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, options.constData()) == 0;
}

ScratchMount::~ScratchMount()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir).constData(), MNT_DETACH);
}

bool ScratchMount::remount(bool readOnly)
{
    const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return m_mounted && ::mount("tmpfs", QFile::encodeName(m_dir).constData(), "tmpfs", flags, nullptr) == 0;
}

bool ScratchMount::refuseWrites(bool readOnly)
{
    m_readOnly = readOnly;
    if (readOnly)
        return makeReadOnly();
    QFile fill(m_dir + QStringLiteral("/filler"));
    if (!m_mounted || !fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'f');
    while (fill.write(block) == block.size()) {
    }
    return true;
}

bool ScratchMount::allowWrites()
{
    return m_readOnly ? remount(false) : QFile::remove(m_dir + QStringLiteral("/filler"));
}
