#include "library/errorslistmodel.h"
#include "api/libraryerrortype.h"

#include <QSignalSpy>
#include <QtTest>

class TestErrorsListModel : public QObject
{
    Q_OBJECT
private slots:
    void announcement_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("download") << 0 << QStringList{"Some of your files failed to download. Click here to view error."};
        QTest::newRow("update") << 1 << QStringList{"Some of your files failed to update. Click here to view error."};
        QTest::newRow("delete") << 2 << QStringList{"Some of your files failed to delete. Click here to view error."};
        QTest::newRow("refresh") << 3 << QStringList{"Error refreshing library. Please check your internet connection."};
        QTest::newRow("general") << 4 << QStringList{"Book.pdf"};
        QTest::newRow("unknown") << 9 << QStringList{};
    }

    void announcement()
    {
        QFETCH(int, type);
        QFETCH(QStringList, messages);
        ErrorsListModel model;
        QSignalSpy added(&model, &ErrorsListModel::errorAdded);
        model.addError(type, QStringLiteral("Book.pdf"), 3);
        QStringList seen;
        for (const QList<QVariant> &signal : qAsConst(added))
            seen << signal.at(0).toString();
        QCOMPARE(seen, messages);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.data(model.index(0), ErrorsListModel::ErrorTypeRole).toInt(), type);
    }

    void entriesAreKeyedByItem()
    {
        ErrorsListModel model;
        model.addError(LibraryErrorType::DownloadError, QStringLiteral("First"), 0);
        model.addError(LibraryErrorType::DownloadError, QStringLiteral("Second"), 1);
        model.addError(LibraryErrorType::GeneralError, QStringLiteral("No item"), -1);
        QCOMPARE(model.rowCount(), 3);

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy added(&model, &ErrorsListModel::errorAdded);
        model.addError(LibraryErrorType::GeneralError, QStringLiteral("Could not delete"), 0);
        model.addError(LibraryErrorType::RefreshLibraryError, QString(), -1);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(added.count(), 2);
        QCOMPARE(added.at(0).at(0).toString(), QStringLiteral("Could not delete"));
        QCOMPARE(model.data(model.index(0), ErrorsListModel::ErrorTextRole).toString(), QStringLiteral("Could not delete"));
        QCOMPARE(model.data(model.index(0), ErrorsListModel::ErrorTypeRole).toInt(), int(LibraryErrorType::GeneralError));
        QCOMPARE(model.data(model.index(0), ErrorsListModel::ErrorItemIndexRole).toLongLong(), 0);
        QCOMPARE(model.data(model.index(2), ErrorsListModel::ErrorTypeRole).toInt(), int(LibraryErrorType::RefreshLibraryError));
        QVERIFY(!model.data(model.index(3), ErrorsListModel::ErrorTextRole).isValid());
    }
};

QTEST_GUILESS_MAIN(TestErrorsListModel)
#include "tst_errorslistmodel.moc"
