#pragma once

#include <QObject>

class LibraryErrorType : public QObject
{
    Q_OBJECT
public:
    enum ErrorType {
        DownloadError = 0,
        UpdateFileError = 1,
        DeleteFileError = 2,
        RefreshLibraryError = 3,
        GeneralError = 4
    };
    Q_ENUM(ErrorType)

    using QObject::QObject;
};
