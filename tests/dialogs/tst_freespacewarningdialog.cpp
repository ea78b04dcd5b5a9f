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

    // Sizes in whole units, rounded up and never grouped.
    void sizesReachTheView()
    {
        m_dialog->ask(qint64(5000) * 1073741824, 1536, [] {});
        QCOMPARE(opens(), 1);
        QCOMPARE(m_item->property("requiredSpace").toString(), QStringLiteral("5000 GB"));
        QCOMPARE(m_item->property("availableSpace").toString(), QStringLiteral("2 kB"));
        QVERIFY(!m_item->property("pathUnavailable").toBool());
        // A volume that cannot be measured is no size at all.
        m_dialog->setAvailableSpace(-1);
        QVERIFY(m_item->property("pathUnavailable").toBool());
        m_dialog->setAvailableSpace(1023);
        QCOMPARE(m_item->property("availableSpace").toString(), QStringLiteral("1023 B"));
        QVERIFY(!m_item->property("pathUnavailable").toBool());
    }

    // A stale button runs nothing twice; a retry that is short again asks anew, and that
    // answer counts. Escape drops the wait as Cancel does, which the window test presses.
    void eachAnswerRunsOnce()
    {
        int retried = 0;
        int cancelled = 0;
        m_dialog->ask(500, 100, [&retried] { ++retried; });
        press("tryAgain");
        press("tryAgain");
        QCOMPARE(retried, 1);
        QVERIFY(!m_item->property("visible").toBool());
        m_dialog->ask(500, 100, [&retried] { ++retried; }, [&cancelled] { ++cancelled; });
        QCOMPARE(opens(), 2);
        QVERIFY(QMetaObject::invokeMethod(m_item.get(), "close"));
        press("tryAgain");
        QCOMPARE(cancelled, 1);
        QCOMPARE(retried, 1);
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
