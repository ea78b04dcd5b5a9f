#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// The bytes the simulator serves: small PDFs, PNG covers and large generated files.
namespace simcontent {

// A one-page PDF that shows the given lines in Helvetica.
QByteArray makePdf(const QStringList &lines);

// A deterministic RGB picture: a tinted background, a band and stripes chosen by seed.
QByteArray makePng(int width, int height, std::uint64_t seed);

// Random-access pseudo-random bytes: the byte at an offset depends only on seed and offset, so
// any range of a large file can be produced without producing what comes before it.
void fillGenerated(std::uint64_t seed, std::uint64_t offset, char *out, std::size_t length);

// Lower-case hex MD5 of the first size bytes of the generated stream.
QByteArray generatedMd5(std::uint64_t seed, std::uint64_t size);

// Lower-case hex MD5.
QByteArray md5Hex(const QByteArray &data);

std::uint64_t splitmix64(std::uint64_t x);

} // namespace simcontent
