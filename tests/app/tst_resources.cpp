#include <QDirIterator>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImageReader>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Collects the warnings Qt prints while a test step runs (SVG parse problems arrive only there).
class WarningCollector
{
public:
    WarningCollector() { s_messages.clear(); m_previous = qInstallMessageHandler(&collect); }
    ~WarningCollector() { qInstallMessageHandler(m_previous); }
    QStringList messages() const { return s_messages; }

private:
    static void collect(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type != QtDebugMsg && type != QtInfoMsg)
            s_messages << message;
    }
    static QStringList s_messages;
    QtMessageHandler m_previous = nullptr;
};
QStringList WarningCollector::s_messages;

QStringList filesUnder(const QString &root, const QStringList &nameFilters)
{
    QStringList files;
    QDirIterator it(root, nameFilters, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

// Every resource path of our bundles that appears in the given text.
QSet<QString> referencedResources(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("(?:qrc)?:/+((?:icons|logos|fonts)/[^\"'\\s)]+)"));
    QSet<QString> names;
    auto it = pattern.globalMatch(text);
    while (it.hasNext())
        names.insert(QStringLiteral(":/") + it.next().captured(1));
    return names;
}

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void registerBundledFonts()
{
    for (const QString &font : filesUnder(QStringLiteral(":/fonts"), {"*.ttf", "*.otf"}))
        QFontDatabase::addApplicationFont(font);
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        for (const char *variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            qputenv(variable, m_home.path().toLocal8Bit());
    }

    void fontRegisters_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("weight");
        QTest::addColumn<QString>("style");

        const QList<QPair<QString, int>> weights = {
            {"Regular", QFont::Normal}, {"Bold", QFont::Bold}, {"Light", QFont::Light},
            {"SemiBold", QFont::DemiBold}, {"Thin", QFont::Thin}};
        for (const auto &w : weights) {
            const QString josefin = QStringLiteral(":/fonts/JosefinSans-%1.ttf").arg(w.first);
            const QString montserrat = QStringLiteral(":/fonts/Montserrat-%1.otf").arg(w.first);
            QTest::newRow(qPrintable(josefin)) << josefin << "Josefin Sans" << w.second << w.first;
            QTest::newRow(qPrintable(montserrat))
                << montserrat << "Montserrat" << w.second << w.first;
        }
    }

    void fontRegisters()
    {
        QFETCH(QString, file);
        QFETCH(QString, family);
        QFETCH(int, weight);
        QFETCH(QString, style);

        QVERIFY2(QFile::exists(file), qPrintable(file));
        const int id = QFontDatabase::addApplicationFont(file);
        QVERIFY2(id >= 0, qPrintable(file));
        QVERIFY(QFontDatabase::applicationFontFamilies(id).contains(family));

        // A file under the wrong weight's name would silently make every bold text thin.
        QFont font(family);
        font.setWeight(weight);
        const QFontInfo info(font);
        QCOMPARE(info.family(), family);
        QCOMPARE(info.weight(), weight);
        QCOMPARE(info.styleName(), style);
    }

    void referencedResourcesExist()
    {
        // Names native code and the window content rely on even before a view mentions them.
        QSet<QString> wanted = {":/icons/icon-app-small.svg", ":/icons/icon-sync.svg",
                                ":/icons/logo-tolvane.png",   ":/icons/book.svg",
                                ":/logos/qen-logo-white.png", ":/logos/tolvane-logo-small.png"};

        const QStringList qmlFiles = filesUnder(QStringLiteral(":/"), {"*.qml", "*.js"});
        QVERIFY(qmlFiles.contains(QStringLiteral(":/MainForm.qml")));
        for (const QString &file : qmlFiles) {
            if (!file.startsWith(QLatin1String(":/qt-project.org")))
                wanted.unite(referencedResources(readAll(file)));
        }

        const QDir sources(QStringLiteral(TESTS_SOURCE_DIR "/.."));
        for (const char *folder : {"app", "api", "library", "downloads", "dialogs"}) {
            for (const QString &file : filesUnder(sources.filePath(QLatin1String(folder)),
                                                  {"*.cpp", "*.h"}))
                wanted.unite(referencedResources(readAll(file)));
        }

        QStringList missing;
        for (const QString &name : qAsConst(wanted)) {
            if (!QFile::exists(name))
                missing << name;
        }
        missing.sort();
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(", "))));
    }

    void imageLoads_data()
    {
        QTest::addColumn<QString>("file");
        const QStringList images = filesUnder(QStringLiteral(":/icons"), {"*.svg", "*.png"})
            + filesUnder(QStringLiteral(":/logos"), {"*.svg", "*.png"});
        QVERIFY(images.size() > 20);
        for (const QString &image : images)
            QTest::newRow(qPrintable(image)) << image;
    }

    void imageLoads()
    {
        QFETCH(QString, file);

        WarningCollector warnings;
        QImageReader reader(file);
        if (file.endsWith(QLatin1String(".svg")))
            reader.setScaledSize(QSize(48, 48));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QVERIFY2(warnings.messages().isEmpty(), qPrintable(warnings.messages().join('\n')));

        // A colour lost in a drawing leaves an image that loads but shows nothing.
        bool anyPainted = false;
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < argb.height() && !anyPainted; ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
            for (int x = 0; x < argb.width() && !anyPainted; ++x)
                anyPainted = qAlpha(line[x]) > 0;
        }
        QVERIFY(anyPainted);
    }

    void mainFormLoads()
    {
        registerBundledFonts();

        QQuickView view;
        QStringList warnings;
        connect(view.engine(), &QQmlEngine::warnings, this, [&warnings](const QList<QQmlError> &errors) {
            for (const QQmlError &error : errors)
                warnings << error.toString();
        });
        view.setResizeMode(QQuickView::SizeRootObjectToView);
        view.setSource(QUrl(QStringLiteral("qrc:/MainForm.qml")));
        QCOMPARE(view.status(), QQuickView::Ready);
        QVERIFY(view.errors().isEmpty());

        QQuickItem *root = view.rootObject();
        QVERIFY(root);
        for (const char *dialog : {"askDeleteDialog", "askUpdateFileDialog",
                                   "askFreeSpaceDialog", "askUpdateAppDialog"}) {
            const QVariant value = root->property(dialog);
            QVERIFY2(value.isValid(), dialog);
            QVERIFY2(value.value<QObject *>() == nullptr, dialog);
        }
        QVERIFY(QMetaObject::invokeMethod(root, "showFirstLoginInfo"));

        // The window stays hidden: showing it adds nothing here, and tearing down a GL context
        // unloads the Mesa driver, whose leaks LeakSanitizer can then no longer attribute.

        auto *name = root->findChild<QQuickItem *>(QStringLiteral("appName"));
        QVERIFY(name);
        const QFont font = name->property("font").value<QFont>();
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("Montserrat"));

        auto *mark = root->findChild<QQuickItem *>(QStringLiteral("appMark"));
        QVERIFY(mark);
        QTRY_COMPARE(mark->property("status").toInt(), 1); // Image.Ready

        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    }

private:
    QTemporaryDir m_home;
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
