#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QtEndian>

#include <cstring>

// Reads the framework's binary JSON form in place, without building a document: a saved
// library of many thousand products would otherwise be copied into a tree twice its size
// before a single item exists. Everything is checked once, up front, by isValid(); the
// accessors then trust the bytes.
class BinaryStoreReader
{
public:
    enum Verdict { Valid, TooDeep, Invalid };

    // A value: its type word and the offset of the container that holds it.
    struct Value {
        quint32 word = 0;
        qint64 container = 0;
    };

    // An object key, Latin-1 or UTF-16, pointing into the bytes.
    struct Key {
        const char *data = nullptr;
        int size = 0;
        bool latin1 = true;
        bool operator==(QLatin1String text) const;
        QString toString() const;
    };

    BinaryStoreReader(const QByteArray &bytes, int maxDepth);

    Verdict verdict() const { return m_verdict; }
    // The top-level value (only when valid).
    Value root() const;

    QJsonValue::Type type(Value value) const;
    QString string(Value value) const;
    // The length of a string value without copying it; -1 for other values.
    int stringLength(Value value) const;
    int count(Value container) const;
    Value at(Value array, int index) const;
    // Calls f(key, value) for every entry of the object in stored (sorted) order; of
    // repeated keys only the last one, as a document built from the bytes keeps it.
    template<typename F>
    void forEachEntry(Value object, F f) const;
    // The value the framework's own reader would give.
    QJsonValue toJsonValue(Value value) const;
    // A container as a standalone binary document, to be read later.
    QByteArray document(Value container) const;

    // The same checks for a standalone document.
    static Verdict check(const QByteArray &bytes, int maxDepth);

private:
    Key keyAt(qint64 entry) const;
    quint32 u32(qint64 at) const { return qFromLittleEndian<quint32>(m_bytes.constData() + at); }
    qint64 childOffset(Value value) const { return value.container + (value.word >> 5); }

    QByteArray m_bytes;
    Verdict m_verdict = Invalid;
};

template<typename F>
void BinaryStoreReader::forEachEntry(Value object, F f) const
{
    const qint64 base = childOffset(object);
    const int length = int(u32(base + 4) >> 1);
    const qint64 table = base + u32(base + 8);
    for (int i = 0; i < length; ++i) {
        const qint64 entry = base + u32(table + 4 * i);
        const Key key = keyAt(entry);
        if (i + 1 < length) {
            const Key next = keyAt(base + u32(table + 4 * (i + 1)));
            if (next.latin1 == key.latin1 && next.size == key.size
                && std::memcmp(next.data, key.data, size_t(key.size) * (key.latin1 ? 1 : 2)) == 0)
                continue;
        }
        const Value value{u32(entry), base};
        // A type the format does not know reads as undefined, which a document leaves out.
        if ((value.word & 7) > QJsonValue::Object)
            continue;
        f(key, value);
    }
}
