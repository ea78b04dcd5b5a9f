#include <QDirIterator>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList filesUnder(const QString &root, const QStringList &nameFilters)
{
    QStringList files;
    QDirIterator it(root, nameFilters, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

// Every resource path of our bundles that appears in the file.
QSet<QString> referencedResources(const QString &path)
{
    static const QRegularExpression pattern(QStringLiteral("(?:qrc)?:/+((?:icons|logos|fonts)/[^\"'\\s)]+)"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QSet<QString> names;
    auto it = pattern.globalMatch(QString::fromUtf8(file.readAll()));
    while (it.hasNext())
        names.insert(QStringLiteral(":/") + it.next().captured(1));
    return names;
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

    void fontsRegister()
    {
        const QList<QPair<QString, int>> weights = {{"Regular", QFont::Normal}, {"Bold", QFont::Bold},
                                                    {"Light", QFont::Light}, {"SemiBold", QFont::DemiBold},
                                                    {"Thin", QFont::Thin}};
        for (const auto &w : weights) {
            for (const auto &file : {qMakePair(QStringLiteral("Josefin Sans"), QStringLiteral(":/fonts/JosefinSans-%1.ttf")),
                                     qMakePair(QStringLiteral("Montserrat"), QStringLiteral(":/fonts/Montserrat-%1.otf"))}) {
                const int id = QFontDatabase::addApplicationFont(file.second.arg(w.first));
                QVERIFY2(id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(file.first),
                         qPrintable(file.second.arg(w.first)));
                // A file under the wrong weight's name would silently make every bold text thin.
                QFont font(file.first);
                font.setWeight(w.second);
                QCOMPARE(QFontInfo(font).styleName(), w.first);
            }
        }
    }

    void referencedResourcesExist()
    {
        // Names native code and the window content rely on even before a view mentions them.
        QSet<QString> wanted = {":/icons/icon-app-small.svg", ":/icons/logo-tolvane.png", ":/logos/qen-logo-white.png"};
        const QStringList qmlFiles = filesUnder(QStringLiteral(":/"), {"*.qml", "*.js"});
        QVERIFY(qmlFiles.contains(QStringLiteral(":/MainForm.qml")));
        for (const QString &file : qmlFiles) {
            if (!file.startsWith(QLatin1String(":/qt-project.org")))
                wanted.unite(referencedResources(file));
        }
        for (const char *folder : {"app", "api", "library", "downloads", "dialogs"}) {
            for (const QString &file : filesUnder(QStringLiteral(TESTS_SOURCE_DIR "/../") + folder, {"*.cpp", "*.h"}))
                wanted.unite(referencedResources(file));
        }
        for (const QString &name : qAsConst(wanted))
            QVERIFY2(QFile::exists(name), qPrintable(name));
    }

    void imagesLoad()
    {
        const QStringList images = filesUnder(QStringLiteral(":/icons"), {"*.svg", "*.png"})
            + filesUnder(QStringLiteral(":/logos"), {"*.svg", "*.png"});
        QVERIFY(images.size() > 20);
        for (const QString &file : images) {
            QImageReader reader(file);
            if (file.endsWith(QLatin1String(".svg")))
                reader.setScaledSize(QSize(48, 48));
            // A colour lost in a drawing leaves an image that loads but shows nothing.
            const QImage image = reader.read().convertToFormat(QImage::Format_Alpha8);
            QVERIFY2(!image.isNull(), qPrintable(file + ": " + reader.errorString()));
            bool painted = false;
            for (int y = 0; y < image.height() && !painted; ++y) {
                const uchar *line = image.constScanLine(y);
                painted = std::any_of(line, line + image.width(), [](uchar alpha) { return alpha > 0; });
            }
            QVERIFY2(painted, qPrintable(file));
        }
    }

private:
    QTemporaryDir m_home;
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
