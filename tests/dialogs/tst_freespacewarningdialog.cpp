#include "dialogs/freespacewarningdialog.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>

#include <memory>

namespace {

// The interface of the free-space dialog view, as native code drives it.
const QByteArray kDialogQml = R"(
import QtQuick 2.13
Item {
    visible: false
    property string requiredSpace: "more"
    property string availableSpace: "too little"
    property bool pathUnavailable: false
    property int opens: 0
    signal cancel()
    signal tryAgain()
    signal closed()
    function open() { opens += 1; visible = true }
    function close() { if (visible) { visible = false; closed() } }
}
)";

} // namespace

class TestFreeSpaceWarningDialog : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QQmlComponent component(&m_engine);
        component.setData(kDialogQml, QUrl());
        m_item.reset(component.create());
        QVERIFY2(m_item, qPrintable(component.errorString()));
        m_dialog = std::make_unique<FreeSpaceWarningDialog>(m_item.get());
    }

    void cleanup()
    {
        m_dialog.reset();
        m_item.reset();
    }

    void formatSize_data()
    {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << quint64(0) << "0 B";
        QTest::newRow("last byte count") << quint64(1023) << "1023 B";
        QTest::newRow("one kB") << quint64(1024) << "1 kB";
        QTest::newRow("rounded up") << quint64(1536) << "2 kB";
        QTest::newRow("last kB") << quint64(1048575) << "1024 kB";
        QTest::newRow("last MB") << quint64(1073741823) << "1024 MB";
        QTest::newRow("no grouping") << quint64(5000) * 1073741824 << "5000 GB";
    }

    void formatSize()
    {
        QFETCH(quint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(FreeSpaceWarningDialog::formatSize(bytes), text);
    }

    void sizesReachTheView()
    {
        m_dialog->ask(5368709120, 1048576, [] {});
        QCOMPARE(opens(), 1);
        QCOMPARE(m_item->property("requiredSpace").toString(), QStringLiteral("5 GB"));
        QCOMPARE(m_item->property("availableSpace").toString(), QStringLiteral("1 MB"));
        QVERIFY(!m_item->property("pathUnavailable").toBool());

        // A volume that cannot be measured is no size at all.
        m_dialog->setAvailableSpace(-1);
        QVERIFY(m_item->property("pathUnavailable").toBool());
        QCOMPARE(m_item->property("availableSpace").toString(), QStringLiteral("1 MB"));
        m_dialog->setAvailableSpace(1024);
        QVERIFY(!m_item->property("pathUnavailable").toBool());
    }

    void tryAgainRunsTheRetryOnce()
    {
        int retried = 0;
        m_dialog->ask(500, 100, [&retried] { ++retried; });
        press("tryAgain");
        QCOMPARE(retried, 1);
        QVERIFY(!m_item->property("visible").toBool());

        press("tryAgain");   // a stale button runs nothing twice
        QCOMPARE(retried, 1);

        // A retry that is short again asks anew, and that answer counts.
        m_dialog->ask(500, 100, [&retried] { ++retried; });
        QCOMPARE(opens(), 2);
        press("tryAgain");
        QCOMPARE(retried, 2);
    }

    void cancelDropsTheWait_data()
    {
        QTest::addColumn<QByteArray>("how");
        QTest::newRow("cancel") << QByteArray("cancel");
        QTest::newRow("escape") << QByteArray("close");
    }

    void cancelDropsTheWait()
    {
        QFETCH(QByteArray, how);
        int retried = 0;
        int cancelled = 0;
        m_dialog->ask(1, 0, [&retried] { ++retried; }, [&cancelled] { ++cancelled; });
        press(how.constData());
        QCOMPARE(cancelled, 1);
        QVERIFY(!m_item->property("visible").toBool());
        press("tryAgain");
        QCOMPARE(retried, 0);
    }

private:
    void press(const char *signal) { QVERIFY(QMetaObject::invokeMethod(m_item.get(), signal)); }
    int opens() const { return m_item->property("opens").toInt(); }

    QQmlEngine m_engine;
    std::unique_ptr<QObject> m_item;
    std::unique_ptr<FreeSpaceWarningDialog> m_dialog;
};

QTEST_MAIN(TestFreeSpaceWarningDialog)
#include "tst_freespacewarningdialog.moc"
