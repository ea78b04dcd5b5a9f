#include "dialogs/freespacewarningdialog.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QTemporaryDir>
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
    void init();
    void cleanup();

    void formatSize_data();
    void formatSize();
    void checksRoom_data();
    void checksRoom();
    void tryAgainMeasuresAfresh();
    void cancelDropsTheWait_data();
    void cancelDropsTheWait();
    void unavailablePath();

private:
    void press(const char *signal) { QVERIFY(QMetaObject::invokeMethod(m_item.get(), signal)); }
    int opens() const { return m_item->property("opens").toInt(); }

    QQmlEngine m_engine;
    std::unique_ptr<QObject> m_item;
    std::unique_ptr<FreeSpaceWarningDialog> m_dialog;
    qint64 m_available = 0;
    QStringList m_measured;
};

void TestFreeSpaceWarningDialog::init()
{
    QQmlComponent component(&m_engine);
    component.setData(kDialogQml, QUrl());
    m_item.reset(component.create());
    QVERIFY2(m_item, qPrintable(component.errorString()));
    m_dialog = std::make_unique<FreeSpaceWarningDialog>(m_item.get());
    m_measured.clear();
    m_dialog->setVolumeQuery([this](const QString &path) {
        m_measured.append(path);
        return m_available;
    });
}

void TestFreeSpaceWarningDialog::cleanup()
{
    m_dialog.reset();
    m_item.reset();
}

void TestFreeSpaceWarningDialog::formatSize_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << quint64(0) << "0 B";
    QTest::newRow("last byte count") << quint64(1023) << "1023 B";
    QTest::newRow("one kB") << quint64(1024) << "1 kB";
    QTest::newRow("rounded up") << quint64(1536) << "2 kB";
    QTest::newRow("last kB") << quint64(1048575) << "1024 kB";
    QTest::newRow("one MB") << quint64(1048576) << "1 MB";
    QTest::newRow("last MB") << quint64(1073741823) << "1024 MB";
    QTest::newRow("five GB") << quint64(5368709120) << "5 GB";
    QTest::newRow("no grouping") << quint64(5000) * 1073741824 << "5000 GB";
}

void TestFreeSpaceWarningDialog::formatSize()
{
    QFETCH(quint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(FreeSpaceWarningDialog::formatSize(bytes), text);
}

void TestFreeSpaceWarningDialog::checksRoom_data()
{
    QTest::addColumn<qint64>("available");
    QTest::addColumn<qint64>("required");
    QTest::addColumn<bool>("proceeds");
    QTest::addColumn<QString>("requiredText");
    QTest::addColumn<QString>("availableText");
    QTest::newRow("room") << qint64(2048) << qint64(2047) << true << "more" << "too little";
    QTest::newRow("equal is short") << qint64(2048) << qint64(2048) << false << "2 kB" << "2 kB";
    QTest::newRow("short") << qint64(1048576) << qint64(5368709120) << false << "5 GB" << "1 MB";
    QTest::newRow("volume unknown") << qint64(-1) << qint64(5368709120) << true << "more" << "too little";
}

void TestFreeSpaceWarningDialog::checksRoom()
{
    QFETCH(qint64, available);
    QFETCH(qint64, required);
    QFETCH(bool, proceeds);
    QFETCH(QString, requiredText);
    QFETCH(QString, availableText);
    m_available = available;
    int proceeded = 0;
    m_dialog->check([] { return QStringLiteral("/library"); }, [required] { return required; },
                    [&proceeded] { ++proceeded; });
    QCOMPARE(proceeded, proceeds ? 1 : 0);
    QCOMPARE(opens(), proceeds ? 0 : 1);
    QCOMPARE(m_measured, QStringList{"/library"});
    QCOMPARE(m_item->property("requiredSpace").toString(), requiredText);
    QCOMPARE(m_item->property("availableSpace").toString(), availableText);
    QVERIFY(!m_item->property("pathUnavailable").toBool());
}

void TestFreeSpaceWarningDialog::tryAgainMeasuresAfresh()
{
    m_available = 100;
    qint64 required = 500;
    QString folder = "/first";
    int proceeded = 0;
    QSignalSpy retried(m_dialog.get(), &FreeSpaceWarningDialog::tryAgain);
    m_dialog->check([&folder] { return folder; }, [&required] { return required; }, [&proceeded] { ++proceeded; });
    QCOMPARE(opens(), 1);

    press("tryAgain");   // nothing freed yet: asked again, with the same texts
    QCOMPARE(opens(), 2);
    QCOMPARE(proceeded, 0);
    QCOMPARE(m_item->property("requiredSpace").toString(), QStringLiteral("500 B"));

    // The user frees space and picks another folder; both count at the next try.
    m_available = 10000;
    required = 600;
    folder = "/second";
    press("tryAgain");
    QCOMPARE(proceeded, 1);
    QCOMPARE(retried.count(), 2);
    QVERIFY(!m_item->property("visible").toBool());
    QCOMPARE(m_measured, (QStringList{"/first", "/first", "/second"}));

    press("tryAgain");   // a stale button runs nothing twice
    QCOMPARE(proceeded, 1);
}

void TestFreeSpaceWarningDialog::cancelDropsTheWait_data()
{
    QTest::addColumn<QByteArray>("how");
    QTest::newRow("cancel") << QByteArray("cancel");
    QTest::newRow("escape") << QByteArray("close");
}

void TestFreeSpaceWarningDialog::cancelDropsTheWait()
{
    QFETCH(QByteArray, how);
    m_available = 0;
    int proceeded = 0;
    int cancelled = 0;
    QSignalSpy cancelSignal(m_dialog.get(), &FreeSpaceWarningDialog::cancel);
    m_dialog->check({}, [] { return 1; }, [&proceeded] { ++proceeded; }, [&cancelled] { ++cancelled; });
    press(how.constData());
    QCOMPARE(cancelled, 1);
    QCOMPARE(cancelSignal.count(), 1);
    QVERIFY(!m_item->property("visible").toBool());
    m_available = 100;
    press("tryAgain");
    QCOMPARE(proceeded, 0);
}

void TestFreeSpaceWarningDialog::unavailablePath()
{
    m_dialog->setAvailableSpace(-1);
    QVERIFY(m_item->property("pathUnavailable").toBool());
    QCOMPARE(m_item->property("availableSpace").toString(), QStringLiteral("too little"));
    m_dialog->setAvailableSpace(1024);
    QVERIFY(!m_item->property("pathUnavailable").toBool());
    QCOMPARE(m_item->property("availableSpace").toString(), QStringLiteral("1 kB"));

    QTemporaryDir dir;
    QVERIFY(FreeSpaceWarningDialog::availableBytes(dir.path()) > 0);
    QCOMPARE(FreeSpaceWarningDialog::availableBytes(dir.path() + "/no/such/folder"), qint64(-1));
}

QTEST_MAIN(TestFreeSpaceWarningDialog)
#include "tst_freespacewarningdialog.moc"
