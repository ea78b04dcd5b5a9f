#include "simcontent.h"

#include <QCryptographicHash>

#include <array>
#include <cstring>
#include <vector>

namespace simcontent {

std::uint64_t splitmix64(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

namespace {

// One multiply per word: cheap enough that serving a generated file costs about what copying
// it into the socket costs, and still without visible patterns.
inline std::uint64_t generatedWord(std::uint64_t seed, std::uint64_t index)
{
    std::uint64_t x = seed ^ (index * 0x9E3779B97F4A7C15ULL);
    x ^= x >> 32;
    x *= 0xD6E8FEB86659FD93ULL;
    return x ^ (x >> 32);
}

QByteArray pdfText(const QString &line)
{
    QByteArray out;
    for (const QChar c : line) {
        const ushort u = c.unicode();
        // Helvetica with WinAnsiEncoding covers Latin-1; anything else shows as '?'.
        char ch = u < 0x100 ? char(u) : '?';
        if (ch == '(' || ch == ')' || ch == '\\')
            out.append('\\');
        out.append(ch);
    }
    return out;
}

QStringList wrap(const QString &text, int width)
{
    QStringList lines;
    QString current;
    const QStringList words = text.split(QLatin1Char(' '));
    for (const QString &word : words) {
        if (!current.isEmpty() && current.size() + 1 + word.size() > width) {
            lines.append(current);
            current.clear();
        }
        current += current.isEmpty() ? word : QLatin1Char(' ') + word;
    }
    if (!current.isEmpty())
        lines.append(current);
    return lines;
}

const std::array<std::uint32_t, 256> &crcTable()
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

std::uint32_t crc32(const QByteArray &data)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char ch : data)
        c = crcTable()[(c ^ std::uint8_t(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void appendBe32(QByteArray &out, std::uint32_t v)
{
    out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

void appendChunk(QByteArray &png, const char *type, const QByteArray &data)
{
    appendBe32(png, std::uint32_t(data.size()));
    QByteArray typed(type, 4);
    typed.append(data);
    png.append(typed);
    appendBe32(png, crc32(typed));
}

} // namespace

QByteArray makePdf(const QStringList &lines)
{
    QByteArray content = "BT\n/F1 22 Tf\n72 770 Td\n26 TL\n";
    bool first = true;
    for (const QString &line : lines) {
        for (const QString &part : wrap(line, 40)) {
            content += first ? "" : "T*\n";
            content += '(' + pdfText(part) + ") Tj\n";
            first = false;
        }
        if (first)
            continue;
        content += "/F1 14 Tf\n";
    }
    content += "ET\n";

    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 4 0 R >> >> "
        "/Contents 5 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream",
    };
    QByteArray pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    QList<int> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const int xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (int offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
        + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QByteArray makePng(int width, int height, std::uint64_t seed)
{
    const std::uint64_t r = splitmix64(seed);
    const int baseR = 40 + int(r & 0x7F), baseG = 40 + int((r >> 8) & 0x7F), baseB = 40 + int((r >> 16) & 0x7F);
    const int bandTop = height / 3 + int((r >> 24) % std::uint64_t(height / 4 + 1));
    const int bandHeight = height / 6 + 1;
    const int stripe = 8 + int((r >> 32) % 16);

    QByteArray raw;
    raw.reserve((width * 3 + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw.append('\0');
        const bool inBand = y >= bandTop && y < bandTop + bandHeight;
        for (int x = 0; x < width; ++x) {
            int red = baseR, green = baseG, blue = baseB;
            if (((x + y) / stripe) % 2 == 0) {
                red += 20;
                green += 20;
                blue += 20;
            }
            if (inBand) {
                red = 230;
                green = 225;
                blue = 210;
            }
            raw.append(char(red)).append(char(green)).append(char(blue));
        }
    }

    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    QByteArray header;
    appendBe32(header, std::uint32_t(width));
    appendBe32(header, std::uint32_t(height));
    header.append(char(8)).append(char(2)).append(char(0)).append(char(0)).append(char(0));
    appendChunk(png, "IHDR", header);
    // qCompress yields a zlib stream behind a four-byte length prefix.
    appendChunk(png, "IDAT", qCompress(raw, 6).mid(4));
    appendChunk(png, "IEND", QByteArray());
    return png;
}

void fillGenerated(std::uint64_t seed, std::uint64_t offset, char *out, std::size_t length)
{
    std::uint64_t index = offset / 8;
    const std::size_t skip = std::size_t(offset % 8);
    if (skip != 0 && length > 0) {
        const std::uint64_t w = generatedWord(seed, index++);
        char bytes[8];
        std::memcpy(bytes, &w, 8);
        const std::size_t n = std::min<std::size_t>(8 - skip, length);
        std::memcpy(out, bytes + skip, n);
        out += n;
        length -= n;
    }
    while (length >= 8) {
        const std::uint64_t w = generatedWord(seed, index++);
        std::memcpy(out, &w, 8);
        out += 8;
        length -= 8;
    }
    if (length > 0) {
        const std::uint64_t w = generatedWord(seed, index);
        std::memcpy(out, &w, length);
    }
}

QByteArray generatedMd5(std::uint64_t seed, std::uint64_t size)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    std::vector<char> block(1 << 20);
    for (std::uint64_t offset = 0; offset < size; offset += block.size()) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(block.size(), size - offset));
        fillGenerated(seed, offset, block.data(), n);
        hash.addData(block.data(), int(n));
    }
    return hash.result().toHex();
}

QByteArray md5Hex(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

} // namespace simcontent
