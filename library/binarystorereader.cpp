#include "binarystorereader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVector>
#include <QtEndian>

#include <cstring>

namespace {

const quint32 kTag = 0x736a6271;  // "qbjs" read little-endian
const qint64 kHeaderSize = 8;     // tag and version
const qint64 kBaseSize = 12;      // size, type and length, table offset

// Bit 3 of a value: a Latin-1 string, or a number stored in the value bits themselves.
bool inlineFlag(quint32 word)
{
    return word & 8;
}

int compareKeys(const BinaryStoreReader::Key &a, const BinaryStoreReader::Key &b)
{
    const int n = qMin(a.size, b.size);
    if (a.latin1 && b.latin1) {
        const int order = std::memcmp(a.data, b.data, size_t(n));
        if (order != 0)
            return order < 0 ? -1 : 1;
        return a.size == b.size ? 0 : (a.size < b.size ? -1 : 1);
    }
    for (int i = 0; i < n; ++i) {
        const ushort ca = a.latin1 ? uchar(a.data[i]) : qFromLittleEndian<quint16>(a.data + 2 * i);
        const ushort cb = b.latin1 ? uchar(b.data[i]) : qFromLittleEndian<quint16>(b.data + 2 * i);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size == b.size ? 0 : (a.size < b.size ? -1 : 1);
}

} // namespace

bool BinaryStoreReader::Key::operator==(QLatin1String text) const
{
    if (size != text.size())
        return false;
    if (latin1)
        return std::memcmp(data, text.data(), size_t(size)) == 0;
    for (int i = 0; i < size; ++i) {
        if (qFromLittleEndian<quint16>(data + 2 * i) != uchar(text.data()[i]))
            return false;
    }
    return true;
}

QString BinaryStoreReader::Key::toString() const
{
    if (latin1)
        return QString::fromLatin1(data, size);
    QString text(size, Qt::Uninitialized);
    qFromLittleEndian<quint16>(data, size, text.data());
    return text;
}

BinaryStoreReader::BinaryStoreReader(const QByteArray &bytes, int maxDepth)
    : m_bytes(bytes)
    , m_verdict(check(bytes, maxDepth))
{
}

BinaryStoreReader::Key BinaryStoreReader::keyAt(qint64 entry) const
{
    const quint32 word = u32(entry);
    const char *key = m_bytes.constData() + entry + 4;
    if (word & 16)
        return {key + 2, int(qFromLittleEndian<quint16>(key)), true};
    return {key + 4, int(qFromLittleEndian<quint32>(key)), false};
}

BinaryStoreReader::Verdict BinaryStoreReader::check(const QByteArray &bytes, int maxDepth)
{
    if (bytes.size() < kHeaderSize + kBaseSize)
        return Invalid;
    const char *data = bytes.constData();
    const auto at = [data](qint64 offset) { return qFromLittleEndian<quint32>(data + offset); };
    if (at(0) != kTag || at(4) != 1)
        return Invalid;
    // As the framework does, the bytes after the top-level value are not looked at.
    const qint64 end = kHeaderSize + qint64(at(8));
    if (end > bytes.size())
        return Invalid;

    struct Pending {
        qint64 base;
        qint64 end;
        int depth;
    };
    QVector<Pending> stack{{kHeaderSize, end, 1}};
    // Containers cannot overlap without pointing back; more visits than the bytes could
    // hold means they do.
    qint64 visits = 0;
    const qint64 maxVisits = end / kBaseSize + 1;
    while (!stack.isEmpty()) {
        const Pending current = stack.takeLast();
        if (current.depth > maxDepth || ++visits > maxVisits)
            return TooDeep;
        if (current.base + kBaseSize > current.end)
            return Invalid;
        const qint64 base = current.base;
        const qint64 size = at(base);
        const quint32 header = at(base + 4);
        const qint64 tableOffset = at(base + 8);
        const bool isObject = header & 1;
        const qint64 length = header >> 1;
        // An empty container is written with a table offset of 0.
        if (size < kBaseSize || base + size > current.end || tableOffset + length * 4 > size
            || (length > 0 && tableOffset < kBaseSize))
            return Invalid;

        Key previous;
        for (qint64 i = 0; i < length; ++i) {
            const qint64 slot = base + tableOffset + i * 4;
            quint32 word = at(slot);
            if (isObject) {
                const qint64 entry = at(slot);
                // The entry: its value word, then the key, all before the table.
                if (entry < kBaseSize || entry + 4 + 2 > tableOffset)
                    return Invalid;
                word = at(base + entry);
                const qint64 room = tableOffset - entry - 4;
                Key key;
                const char *keyData = data + base + entry + 4;
                if (word & 16) {
                    key = {keyData + 2, int(qFromLittleEndian<quint16>(keyData)), true};
                    if (2 + qint64(key.size) > room)
                        return Invalid;
                } else {
                    if (room < 4)
                        return Invalid;
                    const qint64 size16 = qFromLittleEndian<quint32>(keyData);
                    if (size16 > (room - 4) / 2)
                        return Invalid;
                    key = {keyData + 4, int(size16), false};
                }
                // Keys are stored sorted: the framework looks them up by bisection.
                if (i > 0 && compareKeys(key, previous) < 0)
                    return Invalid;
                previous = key;
            }

            const int type = word & 7;
            const qint64 offset = word >> 5;
            qint64 used = 0;
            switch (type) {
            case QJsonValue::Double:
                if (inlineFlag(word))
                    continue;
                used = 8;
                break;
            case QJsonValue::String:
            case QJsonValue::Array:
            case QJsonValue::Object:
                break;
            default:
                continue;
            }
            if (offset < kBaseSize || offset + 4 > tableOffset)
                return Invalid;
            const qint64 room = tableOffset - offset;
            if (type == QJsonValue::String) {
                const char *text = data + base + offset;
                used = inlineFlag(word) ? 2 + qint64(qFromLittleEndian<quint16>(text))
                                        : 4 + 2 * qint64(qFromLittleEndian<quint32>(text));
            } else if (type != QJsonValue::Double) {
                used = at(base + offset);
                stack.append({base + offset, base + offset + qMin(used, room), current.depth + 1});
                if (used > room)
                    return Invalid;
                continue;
            }
            // The framework lets a number reach into the table, but not past its container.
            if (used > (type == QJsonValue::Double ? size - offset : room))
                return Invalid;
        }
    }
    return Valid;
}

BinaryStoreReader::Value BinaryStoreReader::root() const
{
    const bool isObject = u32(kHeaderSize + 4) & 1;
    return {quint32(isObject ? QJsonValue::Object : QJsonValue::Array) | quint32(kHeaderSize << 5), 0};
}

QJsonValue::Type BinaryStoreReader::type(Value value) const
{
    return QJsonValue::Type(value.word & 7);
}

QString BinaryStoreReader::string(Value value) const
{
    if (type(value) != QJsonValue::String)
        return QString();
    const char *text = m_bytes.constData() + childOffset(value);
    if (inlineFlag(value.word))
        return QString::fromLatin1(text + 2, qFromLittleEndian<quint16>(text));
    const int size = int(qFromLittleEndian<quint32>(text));
    QString result(size, Qt::Uninitialized);
    qFromLittleEndian<quint16>(text + 4, size, result.data());
    return result;
}

int BinaryStoreReader::stringLength(Value value) const
{
    if (type(value) != QJsonValue::String)
        return -1;
    const char *text = m_bytes.constData() + childOffset(value);
    return inlineFlag(value.word) ? int(qFromLittleEndian<quint16>(text)) : int(qFromLittleEndian<quint32>(text));
}

int BinaryStoreReader::count(Value container) const
{
    return int(u32(childOffset(container) + 4) >> 1);
}

BinaryStoreReader::Value BinaryStoreReader::at(Value array, int index) const
{
    const qint64 base = childOffset(array);
    return {u32(base + u32(base + 8) + 4 * qint64(index)), base};
}

QJsonValue BinaryStoreReader::toJsonValue(Value value) const
{
    switch (type(value)) {
    case QJsonValue::Null:
        return QJsonValue(QJsonValue::Null);
    case QJsonValue::Bool:
        return QJsonValue((value.word >> 5) != 0);
    case QJsonValue::Double:
        if (inlineFlag(value.word))
            return QJsonValue(double(qint32(value.word) >> 5));
        return QJsonValue(qFromLittleEndian<double>(m_bytes.constData() + childOffset(value)));
    case QJsonValue::String:
        return QJsonValue(string(value));
    case QJsonValue::Array:
    case QJsonValue::Object: {
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
        // The framework's own checks as well: its reader trusts more of the bytes than these.
        const QJsonDocument document = QJsonDocument::fromBinaryData(this->document(value), QJsonDocument::Validate);
QT_WARNING_POP
        if (document.isNull())
            return QJsonValue(QJsonValue::Undefined);
        return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    }
    default:
        return QJsonValue(QJsonValue::Undefined);
    }
}

QByteArray BinaryStoreReader::document(Value container) const
{
    const qint64 base = childOffset(container);
    const qint64 size = u32(base);
    QByteArray result(int(kHeaderSize + size), Qt::Uninitialized);
    qToLittleEndian<quint32>(kTag, result.data());
    qToLittleEndian<quint32>(1, result.data() + 4);
    std::memcpy(result.data() + kHeaderSize, m_bytes.constData() + base, size_t(size));
    return result;
}
