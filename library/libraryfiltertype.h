#pragma once

#include <QObject>

class LibraryFilterType : public QObject
{
    Q_OBJECT
public:
    enum EnFilterType { ALL = 0, DOWNLOADED = 1, NOT_DOWNLOADED = 2, UPDATE_AVAILABLE = 3 };
    Q_ENUM(EnFilterType)

    using QObject::QObject;
};
