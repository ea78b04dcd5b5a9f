#include "library/errorslistmodel.h"
#include "api/libraryerrortype.h"

#include <QSignalSpy>
#include <QtTest>

class TestErrorsListModel : public QObject
{
    Q_OBJECT
private slots:
    // One entry per product, the latest error replacing the earlier one; each error is announced
    // for the status bar, a general one in its own words and an unknown kind not at all.
    void entriesAreKeyedByItemAndAnnounced()
    {
        ErrorsListModel model;
        QSignalSpy added(&model, &ErrorsListModel::errorAdded);
        model.addError(LibraryErrorType::DownloadError, QStringLiteral("First"), 0);
        model.addError(LibraryErrorType::DownloadError, QStringLiteral("Second"), 1);
        model.addError(9, QStringLiteral("Of no known kind"), -1);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.addError(LibraryErrorType::GeneralError, QStringLiteral("Could not delete"), 0);
        model.addError(LibraryErrorType::RefreshLibraryError, QString(), -1);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(changed.count(), 2);
        QStringList seen;
        for (const QList<QVariant> &signal : qAsConst(added))
            seen << signal.at(0).toString();
        const QString failed = QStringLiteral("Some of your files failed to download. Click here to view error.");
        QCOMPARE(seen, (QStringList{failed, failed, "Could not delete",
                                    "Error refreshing library. Please check your internet connection."}));
        QCOMPARE(model.data(model.index(0), ErrorsListModel::ErrorTextRole).toString(), QStringLiteral("Could not delete"));
        QCOMPARE(model.data(model.index(0), ErrorsListModel::ErrorTypeRole).toInt(), int(LibraryErrorType::GeneralError));
        QCOMPARE(model.data(model.index(2), ErrorsListModel::ErrorTypeRole).toInt(), int(LibraryErrorType::RefreshLibraryError));
    }
};

QTEST_GUILESS_MAIN(TestErrorsListModel)
#include "tst_errorslistmodel.moc"
