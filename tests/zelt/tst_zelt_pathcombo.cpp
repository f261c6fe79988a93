// The path chooser in its four modes, with the real skinned file dialog
// answered from a timer.

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "CFileDialog.h"
#include "CPathComboBox.h"

class ZeltPathComboTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // Runs the chooser; answer gets the open dialog (null if none appeared).
    void Choose(CPathComboBox &box, const std::function<void(CFileDialog *)> &answer)
    {
        bool seen = false;
        QTimer t;
        connect(&t, &QTimer::timeout, this, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *dlg = qobject_cast<CFileDialog *>(w);
                if (dlg && dlg->isVisible() && !seen) {
                    seen = true;
                    answer(dlg);
                    // A failed check returns early: close the dialog so the
                    // failure is reported instead of the test hanging.
                    if (QDialog *fd = dlg->FileDialog(); fd->result() == 0 && dlg->isVisible())
                        fd->reject();
                }
            }
        });
        t.start(10);
        box.showPopup();
        t.stop();
        if (!seen)
            answer(nullptr);
    }
    // Types the answer into the dialog's name field and accepts, as a user
    // does: selectFile() leaves a focused name field alone, so whether it
    // took depended on when the dialog got the focus.
    static void Answer(CFileDialog *dlg, const QString &text)
    {
        auto *name = dlg->FileDialog()->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(text);
        static_cast<QDialog *>(dlg->FileDialog())->accept();
    }
    QString Touch(const QString &name)
    {
        QFile f(m_dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        return f.fileName();
    }

private slots:
    void folderMode()
    {
        QDir(m_dir.path()).mkdir("keys");
        CPathComboBox box;
        box.SetMode(CPathComboBox::Folder);
        box.addItem(m_dir.path());
        Choose(box, [&](CFileDialog *dlg) {
            QVERIFY(dlg);
            QCOMPARE(dlg->GetTitleText(), QString("Select Directory"));
            QCOMPARE(dlg->size(), QSize(600, 400));
            QVERIFY(dlg->styleSheet().contains("rgb(251,251,194)"));
            QFileDialog *fd = dlg->FileDialog();
            QCOMPARE(QDir(fd->directory()).absolutePath(), QDir(m_dir.path()).absolutePath());
            QVERIFY(fd->testOption(QFileDialog::DontConfirmOverwrite));
            QVERIFY(fd->testOption(QFileDialog::ReadOnly));
            Answer(dlg, m_dir.filePath("keys"));
        });
        QCOMPARE(box.count(), 1);
        QCOMPARE(box.currentText(), m_dir.filePath("keys") + "/");
        QCOMPARE(box.toolTip(), box.currentText());

        // Cancelling changes nothing.
        Choose(box, [&](CFileDialog *dlg) {
            QVERIFY(dlg);
            static_cast<QDialog *>(dlg->FileDialog())->reject();
        });
        QCOMPARE(box.currentText(), m_dir.filePath("keys") + "/");
    }

    void saveModeAppendsTheFilterExtension()
    {
        CPathComboBox box;
        box.SetMode(CPathComboBox::SaveFile);
        box.SetFilter("Excel (*.xls)");
        box.addItem(m_dir.filePath("nothing-here.xls")); // starts in its folder
        Choose(box, [&](CFileDialog *dlg) {
            QVERIFY(dlg);
            QCOMPARE(QDir(dlg->FileDialog()->directory()).absolutePath(), QDir(m_dir.path()).absolutePath());
            Answer(dlg, m_dir.filePath("book"));
        });
        QCOMPARE(box.currentText(), m_dir.filePath("book.xls"));
        Choose(box, [&](CFileDialog *dlg) {
            QVERIFY(dlg);
            Answer(dlg, m_dir.filePath("other.xls"));
        });
        QCOMPARE(box.currentText(), m_dir.filePath("other.xls"));
        QCOMPARE(box.count(), 1);
    }

    void openModes()
    {
        const QString a = Touch("a.xml"), b = Touch("b.xml");
        CPathComboBox one;
        one.SetMode(CPathComboBox::OpenFile);
        Choose(one, [&](CFileDialog *dlg) {
            QVERIFY(dlg);
            QVERIFY(dlg->GetTitleText().isEmpty()); // no title outside folder mode
            Answer(dlg, a);
        });
        QCOMPARE(one.currentText(), a);

        CPathComboBox many;
        many.SetMode(CPathComboBox::OpenFiles);
        many.addItem(m_dir.path());
        Choose(many, [&](CFileDialog *dlg) {
            QVERIFY(dlg);
            QCOMPARE(dlg->FileDialog()->fileMode(), QFileDialog::ExistingFiles);
            Answer(dlg, "\"a.xml\" \"b.xml\"");
        });
        QCOMPARE(many.count(), 2);
        QStringList items{many.itemText(0), many.itemText(1)};
        items.sort();
        QCOMPARE(items, (QStringList{a, b}));
    }

    void onlyTheArrowOpensTheChooser()
    {
        CPathComboBox box;
        box.SetMode(CPathComboBox::OpenFile);
        box.resize(200, 24);
        box.show();
        int opened = 0;
        QTimer t;
        connect(&t, &QTimer::timeout, this, [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *dlg = qobject_cast<CFileDialog *>(w); dlg && dlg->isVisible()) {
                    ++opened;
                    static_cast<QDialog *>(dlg->FileDialog())->reject();
                }
        });
        t.start(10);
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(50, 12));
        QCOMPARE(opened, 0);
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(200 - 10, 12));
        QCOMPARE(opened, 1);

        // From the keyboard, Space opens the chooser; while the box is
        // editable it neither opens it nor goes into the path.
        box.setFocus();
        QTest::keyClick(&box, Qt::Key_Space);
        QTRY_COMPARE(opened, 2);
        box.setEditable(true);
        box.setEditText("/tmp/a");
        QTest::keyClick(&box, Qt::Key_Space);
        QTest::qWait(50);
        QCOMPARE(opened, 2);
        QCOMPARE(box.currentText(), QString("/tmp/a"));
        t.stop();
    }
};

QTEST_MAIN(ZeltPathComboTest)
#include "tst_zelt_pathcombo.moc"
