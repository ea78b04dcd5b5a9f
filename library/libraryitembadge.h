#pragma once

#include <QObject>

class LibraryItemBadge : public QObject
{
    Q_OBJECT
public:
    enum Badge { None = 0, New = 1, Update = 2 };
    Q_ENUM(Badge)

    using QObject::QObject;
};
