// Every picture the product names must be in the resources and load.
//
// The paths are collected from the sources of the toolkit, the shell and
// the plug-in at run time (":/images/...", ":images/..." and url(...) in
// style sheets), plus the names the shell composes at run time from its
// page table and menus.

#include "Toolkit.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

class TstImages : public QObject
{
    Q_OBJECT
private slots:
    void resourcesRegistered();
    void everyNamedPathLoads();
    void everyResourceImageLoads();
    void borderImagesAreLargeEnough();
    void styleSheetNamesDialogLooks();
};

void TstImages::resourcesRegistered()
{
    QVERIFY(Toolkit::InitResources());
    QVERIFY(QFile::exists(QStringLiteral(":/Orvi/Qss/Qss/TBX.qss")));
    QVERIFY(!Toolkit::ApplicationStyleSheet().isEmpty());
}

namespace {

QStringList namedPaths(QStringList *origins)
{
    static const QRegularExpression rx(QStringLiteral(R"((:/?images/[A-Za-z0-9_./ -]+?\.(?:png|jpg|gif|bmp|ico)))"));
    QStringList paths;
    const QString root = QStringLiteral(TOOLBAY_SOURCE_DIR);
    for (const char *dir : {"toolkit", "toolframe", "zelt"}) {
        QDirIterator it(root + QLatin1Char('/') + QLatin1String(dir),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.ui"),
                         QStringLiteral("*.qss"), QStringLiteral("*.qrc")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (file.contains(QStringLiteral("/imagegen/")))
                continue; // writes pictures, names none
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(f.readAll());
            auto matches = rx.globalMatch(text);
            while (matches.hasNext()) {
                const QString path = matches.next().captured(1);
                if (!paths.contains(path)) {
                    paths << path;
                    origins->append(QDir(root).relativeFilePath(file));
                }
            }
        }
    }
    // Names the shell puts together at run time: control-panel icons with
    // their hover forms, tab icons and menu icons.
    const char *const tools[] = {"ARCH", "ZELT", "CAMC", "CLIP", "FWUP", "STOR",
                                 "LINK", "FOCA", "OPTK", "BULK", "TASK"};
    for (const char *t : tools) {
        paths << QStringLiteral(":/images/ControlPanel/TBX-%1.png").arg(QLatin1String(t))
              << QStringLiteral(":/images/ControlPanel/TBX-%1_hover.png").arg(QLatin1String(t));
        origins->append(QStringLiteral("page table"));
        origins->append(QStringLiteral("page table"));
    }
    const char *const composed[] = {
        ":/images/ControlPanel/CMain-View.png",
        ":images/Tab/ico_Control-Panel.png",
        ":images/Tab/TBX_ARCH.png",
        ":images/Tab/TBX_ZELT.png",
        ":images/Tab/TBX_CAMC.png",
        ":images/Tab/TBX_CLIP.png",
        ":images/Tab/TBX_FWUP.png",
        ":images/Tab/STOR.png",
        ":images/Tab/LINK.png",
        ":images/Tab/TBX_FOCA.png",
        ":images/Tab/TBX_OPTK.png",
        ":images/Tab/Bulk.png",
        ":images/Tab/calculate32.png",
        ":/images/MenuBar/ico_Control-Panel.png",
        ":/images/MenuBar/ico_Stream-Import.png",
        ":/images/MenuBar/ico_Stream-Config.png",
        ":/images/MenuBar/ico_User-Management.png",
        ":/images/MenuBar/monitoring.png",
        ":/images/MenuBar/ico_NVR-Management.png",
        ":/images/MenuBar/STOR.png",
        ":/images/MenuBar/LINK.png",
        ":/images/MenuBar/ico_TBX_FOCA.png",
        ":/images/MenuBar/ico_TBX_OPTK.png",
        ":/images/MenuBar/Bulk.png",
        ":/images/MenuBar/calculate32.png",
        ":/images/About.png",
        ":/images/Help.png",
        ":images/Loading_bg_English.png",
        ":images/Loading_bg_Chinese.png",
        ":images/Loading_bg_English_Kestro.png",
        ":images/Loading_bg_Chinese_Kestro.png",
    };
    for (const char *p : composed) {
        paths << QLatin1String(p);
        origins->append(QStringLiteral("composed names"));
    }
    return paths;
}

} // namespace

void TstImages::everyNamedPathLoads()
{
    QStringList origins;
    const QStringList paths = namedPaths(&origins);
    // The toolkit alone names well over forty pictures.
    QVERIFY2(paths.size() > 40, qPrintable(QString::number(paths.size())));
    QStringList failures;
    for (int i = 0; i < paths.size(); ++i) {
        const QImage img(paths.at(i));
        if (img.isNull())
            failures << QStringLiteral("%1 (%2)").arg(paths.at(i), origins.at(i));
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QStringLiteral("\n"))));
}

void TstImages::everyResourceImageLoads()
{
    int count = 0;
    QDirIterator it(QStringLiteral(":/images"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QImage img(path);
        QVERIFY2(!img.isNull(), qPrintable(path));
        // Real pictures: some pixels are not transparent.
        bool drawn = false;
        for (int y = 0; y < img.height() && !drawn; ++y)
            for (int x = 0; x < img.width() && !drawn; ++x)
                drawn = qAlpha(img.pixel(x, y)) > 0;
        QVERIFY2(drawn, qPrintable(path));
        ++count;
    }
    QVERIFY(count >= 100);
}

void TstImages::borderImagesAreLargeEnough()
{
    const QImage large(QStringLiteral(":/images/Dialog/dialog_bg.png"));
    QVERIFY(large.width() > 2 * 58 && large.height() > 2 * 58);
    const QImage small(QStringLiteral(":/images/Dialog/dialog_bg2.png"));
    QVERIFY(small.width() > 6 + 6 && small.height() > 34 + 16);
    // The plug-in's main window also uses it with 58-pixel slices.
    QVERIFY(small.width() > 2 * 58 && small.height() > 2 * 58);
    // The title band is dark, the body light.
    QVERIFY(QColor(large.pixel(80, 15)).lightness() < 100);
    QVERIFY(QColor(large.pixel(80, 80)).lightness() > 200);
}

void TstImages::styleSheetNamesDialogLooks()
{
    const QString sheet = Toolkit::ApplicationStyleSheet();
    for (const char *name : {"CBaseDialogClass1", "CBaseDialogClass2", "m_pCloseBtn", "m_pMinimizeBtn",
                             "m_pFullSizeBtn", "m_pNormalSizeBtn", "m_pConfirmBtn", "m_pCancelBtn", "m_pLeftBtn"})
        QVERIFY2(sheet.contains(QLatin1Char('#') + QLatin1String(name)), name);
    // Every url() in the sheet loads.
    static const QRegularExpression url(QStringLiteral(R"RX(url\(\s*"?([^")\s]+)"?\s*\))RX"));
    auto it = url.globalMatch(sheet);
    int urls = 0;
    while (it.hasNext()) {
        const QString path = it.next().captured(1);
        QVERIFY2(!QImage(path).isNull(), qPrintable(path));
        ++urls;
    }
    QVERIFY(urls >= 10);
}

QTEST_MAIN(TstImages)
#include "tst_images.moc"
