#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QString>
#include <QTest>
#include <QVariant>

// Lookups and clicks on the window's QML content by object name, shared by the screenshot tool
// and the window tests. Popups keep their content outside the object tree of the form, so the
// walk also follows the items a control hands out through its properties.
namespace QmlItems {

// The program's identity over a scratch profile below `root`, so that the real controller
// reads and writes nothing of the user's.
inline void useScratchProfile(const QString &root, const QString &version)
{
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, (root + QLatin1Char('/') + QLatin1String(name)).toLocal8Bit());
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));
    QCoreApplication::setApplicationVersion(version);
}

inline QObject *find(QObject *from, const QString &name)
{
    if (!from)
        return nullptr;
    QList<QObject *> queue{from};
    QSet<QObject *> seen;
    while (!queue.isEmpty()) {
        QObject *object = queue.takeFirst();
        if (!object || seen.contains(object))
            continue;
        seen.insert(object);
        if (object != from && object->objectName() == name)
            return object;
        queue.append(object->children());
        if (auto *item = qobject_cast<QQuickItem *>(object)) {
            for (QQuickItem *child : item->childItems())
                queue.append(child);
        }
        for (const char *property : {"contentItem", "header", "footer", "item"}) {
            // A view transition's attached "item" outlives the item it names: loaders only.
            if (qstrcmp(property, "item") == 0 && !object->inherits("QQuickLoader"))
                continue;
            if (object->metaObject()->indexOfProperty(property) >= 0)
                queue.append(object->property(property).value<QObject *>());
        }
    }
    return nullptr;
}

inline QQuickItem *findItem(QObject *from, const QString &name)
{
    return qobject_cast<QQuickItem *>(find(from, name));
}

// A click in the middle of the item, as a user would make it.
inline bool click(QQuickItem *item)
{
    if (!item || !item->window() || !item->isVisible())
        return false;
    // Two quick clicks in a row would otherwise count as a double click, which buttons ignore.
    QTest::lastMouseTimestamp += QTest::mouseDoubleClickInterval + 1;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

} // namespace QmlItems
