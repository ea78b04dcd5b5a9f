#include <QDirIterator>
#include <QImageReader>
#include <QRegularExpression>
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

// Read at a small size: a colour lost in a drawing leaves an image that loads but shows nothing.
bool paints(const QString &file)
{
    QImageReader reader(file);
    if (file.endsWith(QLatin1String(".svg")))
        reader.setScaledSize(QSize(48, 48));
    const QImage image = reader.read().convertToFormat(QImage::Format_Alpha8);
    for (int y = 0; y < image.height(); ++y) {
        const uchar *line = image.constScanLine(y);
        if (std::any_of(line, line + image.width(), [](uchar alpha) { return alpha > 0; }))
            return true;
    }
    return false;
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT
private slots:
    // Every resource a view or the native code names is bundled, and every image of them shows.
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
        for (const QString &name : qAsConst(wanted)) {
            QVERIFY2(QFile::exists(name), qPrintable(name));
            if (!name.startsWith(QLatin1String(":/fonts/")))
                QVERIFY2(paints(name), qPrintable(name));
        }
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
