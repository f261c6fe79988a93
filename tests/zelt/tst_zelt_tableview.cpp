// The table view, its header and delegate, and the address item ordering.

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QtTest>

#include "CTableView.h"
#include "CIpStandardItem.h"
#include "QtZeltItemModel.h"

class ZeltTableViewTest : public QObject
{
    Q_OBJECT

private slots:
    void addressKeys()
    {
        QCOMPARE(CIpStandardItem::SortKey(QStringLiteral("10.0.0.9")), QByteArray("010000000009"));
        QCOMPARE(CIpStandardItem::SortKey(QStringLiteral("192.168.1.64")), QByteArray("192168001064"));
        QCOMPARE(CIpStandardItem::SortKey(QStringLiteral("")), QByteArray("000000000000"));
        QCOMPARE(CIpStandardItem::SortKey(QStringLiteral("abc.5")), QByteArray("000005000000"));
        QCOMPARE(CIpStandardItem::SortKey(QStringLiteral("1.2.3.4.5")), QByteArray("001002003004"));
    }

    void addressOrdering()
    {
        CIpStandardItem a(QStringLiteral("10.0.0.9")), b(QStringLiteral("10.0.0.10"));
        CIpStandardItem c(QStringLiteral("9.255.255.255")), d(QStringLiteral("10.0.0.0"));
        QVERIFY(a < b);
        QVERIFY(!(b < a));
        QVERIFY(c < d);
        QVERIFY(!(a < a));
        // The key follows text changes.
        a.setText(QStringLiteral("10.0.0.11"));
        QVERIFY(b < a);
        // Clones keep their text and order.
        std::unique_ptr<QStandardItem> copy(a.clone());
        QCOMPARE(copy->text(), QStringLiteral("10.0.0.11"));
        QVERIFY(b < *copy);

        // In a model, sorting a column of address items is numeric.
        QStandardItemModel m;
        for (const char *s : {"10.0.0.10", "9.255.255.255", "10.0.0.9", "10.0.0.0"})
            m.appendRow(new CIpStandardItem(QString::fromLatin1(s)));
        m.sort(0);
        QStringList got;
        for (int r = 0; r < 4; ++r)
            got << m.item(r)->text();
        QCOMPARE(got, QStringList({"9.255.255.255", "10.0.0.0", "10.0.0.9", "10.0.0.10"}));
    }

    void deviceModelColumns()
    {
        QtZeltItemModel m;
        QCOMPARE(m.columnCount(), 23);
        QCOMPARE(m.headerData(7, Qt::Horizontal).toString(), QStringLiteral("Http Port"));
        QCOMPARE(m.headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
        QCOMPARE(QtZeltItemModel::ColumnWidth(7), -1);
        QCOMPARE(QtZeltItemModel::ColumnWidth(1), 104);
        QCOMPARE(QtZeltItemModel::ColumnWidth(23), -1);
        // The device model gives no header check state, so no check box.
        CTableView view;
        view.setModel(&m);
        view.resize(600, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(view.Header()->CheckBoxRect().isNull());
    }

    // Sorting and removing rows move cell contents, not the items, so that
    // Qt's position lookups stay cheap; what the view and the selection see
    // must be the same as if the rows themselves had moved.
    void rowsRearrangeByContentAndSelectionFollows()
    {
        QtZeltItemModel m;
        const char *ips[] = {"10.0.0.10", "9.1.1.1", "10.0.0.9", "192.168.0.1", "10.0.0.2", "1.1.1.1"};
        for (int r = 0; r < 6; ++r) {
            QList<QStandardItem *> row;
            for (int c = 0; c < QtZeltItemModel::ColumnCount; ++c) {
                const bool address = c == QtZeltItemModel::ColIPv4;
                QStandardItem *it = address ? new CIpStandardItem : new CZeltCellItem;
                it->setText(address ? QString::fromLatin1(ips[r]) : QStringLiteral("r%1c%2").arg(r).arg(c));
                row << it;
            }
            row.at(QtZeltItemModel::ColSerial)->setData(r * 10, Qt::UserRole + 7);
            row.at(QtZeltItemModel::ColDhcp)->setFlags(r == 2 ? Qt::ItemIsEnabled : Qt::ItemIsSelectable);
            m.appendRow(row);
        }
        QList<QStandardItem *> itemsBefore;
        for (int r = 0; r < 6; ++r)
            itemsBefore << m.item(r, 0) << m.item(r, QtZeltItemModel::ColIPv4);

        CTableView view;
        view.setModel(&m);
        view.selectionModel()->select(m.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view.selectionModel()->setCurrentIndex(m.index(2, 5), QItemSelectionModel::NoUpdate);
        QPersistentModelIndex serialOf4(m.index(4, QtZeltItemModel::ColSerial));
        QSignalSpy layout(&m, &QAbstractItemModel::layoutChanged);

        auto column = [&m](int c) {
            QStringList out;
            for (int r = 0; r < m.rowCount(); ++r)
                out << m.item(r, c)->text();
            return out;
        };
        m.sort(QtZeltItemModel::ColIPv4, Qt::DescendingOrder);
        QCOMPARE(layout.size(), 1);
        QCOMPARE(column(QtZeltItemModel::ColIPv4),
                 QStringList({"192.168.0.1", "10.0.0.10", "10.0.0.9", "10.0.0.2", "9.1.1.1", "1.1.1.1"}));
        QCOMPARE(column(0), QStringList({"r3c0", "r0c0", "r2c0", "r4c0", "r1c0", "r5c0"}));
        // Every role and the flags travel with the row.
        QCOMPARE(m.item(2, QtZeltItemModel::ColSerial)->data(Qt::UserRole + 7).toInt(), 20);
        QCOMPARE(m.item(2, QtZeltItemModel::ColDhcp)->flags(), Qt::ItemFlags(Qt::ItemIsEnabled));
        QCOMPARE(m.item(0, QtZeltItemModel::ColDhcp)->flags(), Qt::ItemFlags(Qt::ItemIsSelectable));
        // The selection, the current cell and other persistent indexes follow.
        QCOMPARE(view.selectionModel()->selectedRows(0), QModelIndexList({m.index(2, 0)}));
        QCOMPARE(view.currentIndex(), m.index(2, 5));
        QCOMPARE(serialOf4.row(), 3);
        // The address order keys moved along: sorting again ascending works.
        m.sort(QtZeltItemModel::ColIPv4);
        QCOMPARE(column(QtZeltItemModel::ColIPv4),
                 QStringList({"1.1.1.1", "9.1.1.1", "10.0.0.2", "10.0.0.9", "10.0.0.10", "192.168.0.1"}));
        QCOMPARE(view.currentIndex(), m.index(3, 5));

        // Keep rows 1, 3 and 4 ("9.1.1.1", "10.0.0.9", "10.0.0.10").
        m.KeepRows({1, 3, 4});
        QCOMPARE(column(QtZeltItemModel::ColIPv4), QStringList({"9.1.1.1", "10.0.0.9", "10.0.0.10"}));
        QCOMPARE(view.currentIndex(), m.index(1, 5));
        QCOMPARE(view.selectionModel()->selectedRows(0), QModelIndexList({m.index(1, 0)}));
        QVERIFY(!serialOf4.isValid()); // its device went
        // No item changed its place: the first three rows hold the same items.
        for (int r = 0; r < 3; ++r) {
            QCOMPARE(m.item(r, 0), itemsBefore.at(2 * r));
            QCOMPARE(m.item(r, QtZeltItemModel::ColIPv4), itemsBefore.at(2 * r + 1));
        }
        m.KeepRows({});
        QCOMPARE(m.rowCount(), 0);

        // Cells put in from outside are plain items: rows are removed as
        // they are.
        for (const char *t : {"a", "b", "c", "d"})
            m.appendRow(new QStandardItem(QString::fromLatin1(t)));
        m.KeepRows({1, 3});
        QCOMPARE(m.rowCount(), 2);
        QCOMPARE(m.item(0)->text(), QStringLiteral("b"));
        QCOMPARE(m.item(1)->text(), QStringLiteral("d"));
        std::unique_ptr<QStandardItem> mask(QtZeltItemModel::NewCell(QtZeltItemModel::ColMask));
        std::unique_ptr<QStandardItem> serial(QtZeltItemModel::NewCell(QtZeltItemModel::ColSerial));
        QVERIFY(dynamic_cast<CIpStandardItem *>(mask.get()));
        QVERIFY(!dynamic_cast<CIpStandardItem *>(serial.get()));
    }

    void releaseOnEmptySpaceEmitsInvalidIndex()
    {
        CTableView view;
        auto *m = new QStandardItemModel(2, 2, &view);
        view.setModel(m);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy spy(&view, &CTableView::SignalClickRelease);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(10, view.viewport()->height() - 5));
        QCOMPARE(spy.size(), 1);
        QVERIFY(!spy.at(0).at(0).value<QModelIndex>().isValid());
        const QPoint cell = view.visualRect(m->index(1, 1)).center();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(1).at(0).value<QModelIndex>(), m->index(1, 1));
    }

    void buttonCells()
    {
        CTableView view;
        auto *m = new QStandardItemModel(2, 2, &view);
        m->setData(m->index(0, 1), true, TableRole::Button);
        view.setModel(m);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy pressed(&view, &CTableView::PressedBtn);
        QSignalSpy clicked(&view, &CTableView::ClickedBtn);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(m->index(0, 1)).center());
        QCOMPARE(pressed.size(), 1);
        QCOMPARE(clicked.size(), 1);
        // Pressed on the button, released elsewhere: no click.
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, view.visualRect(m->index(0, 1)).center());
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, view.visualRect(m->index(1, 0)).center());
        QCOMPARE(pressed.size(), 2);
        QCOMPARE(clicked.size(), 1);
        QVERIFY(view.IsLinkCell(m->index(0, 1)));
        m->setData(m->index(1, 0), 2, TableRole::Flags);
        QVERIFY(view.IsLinkCell(m->index(1, 0)));
        QVERIFY(!view.IsLinkCell(m->index(1, 1)));
    }

    void linkCells()
    {
        CTableView view;
        auto *m = new QStandardItemModel(2, 2, &view);
        m->setData(m->index(0, 0), QStringLiteral("link"));
        m->setData(m->index(0, 0), 2, TableRole::Flags);
        m->setData(m->index(1, 1), QStringLiteral("plain"));
        view.setModel(m);
        view.setEditTriggers(QAbstractItemView::DoubleClicked);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.SetLinkCursor(true);
        QTest::mouseMove(view.viewport(), view.visualRect(m->index(0, 0)).center());
        QTRY_COMPARE(view.viewport()->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseMove(view.viewport(), view.visualRect(m->index(1, 1)).center());
        QTRY_COMPARE(view.viewport()->cursor().shape(), Qt::ArrowCursor);
        // A single press on a link cell opens its editor as a double click would.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(m->index(0, 0)).center());
        QTRY_VERIFY(view.viewport()->findChild<QLineEdit *>() != nullptr);
        QTest::keyClick(view.viewport()->findChild<QLineEdit *>(), Qt::Key_Escape);
        // A plain cell does not.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(m->index(1, 1)).center());
        QTest::qWait(20);
        const auto editors = view.viewport()->findChildren<QLineEdit *>();
        for (QLineEdit *e : editors)
            QVERIFY(!e->isVisible());
    }

    void headerCheckBox()
    {
        CTableView view;
        auto *m = new QStandardItemModel(0, 2, &view);
        m->setHeaderData(0, Qt::Horizontal, int(Qt::Unchecked), TableRole::CheckState);
        view.setModel(m);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy spy(&view, &CTableView::SignalHeaderCheckStateChanged);
        // With no rows, a data change makes the header checked.
        view.Header()->OnDataChanged(QModelIndex());
        QCOMPARE(m->headerData(0, Qt::Horizontal, TableRole::CheckState).toInt(), int(Qt::Checked));

        for (int r = 0; r < 3; ++r) {
            auto *item = new QStandardItem(QStringLiteral("r%1").arg(r));
            item->setCheckable(true);
            item->setCheckState(Qt::Unchecked);
            m->appendRow({item, new QStandardItem});
        }
        m->item(1)->setCheckState(Qt::Checked); // dataChanged reaches the header
        QCOMPARE(m->headerData(0, Qt::Horizontal, TableRole::CheckState).toInt(), int(Qt::PartiallyChecked));
        m->item(1)->setCheckState(Qt::Unchecked);
        QCOMPARE(m->headerData(0, Qt::Horizontal, TableRole::CheckState).toInt(), int(Qt::Unchecked));

        // Clicking the painted box checks every row.
        view.Header()->viewport()->repaint();
        const QRect box = view.Header()->CheckBoxRect();
        QVERIFY(!box.isNull());
        // Each click announces the header's new state once.
        spy.clear();
        QTest::mouseClick(view.Header()->viewport(), Qt::LeftButton, {}, box.center());
        for (int r = 0; r < 3; ++r)
            QCOMPARE(m->item(r)->checkState(), Qt::Checked);
        QCOMPARE(m->headerData(0, Qt::Horizontal, TableRole::CheckState).toInt(), int(Qt::Checked));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), int(Qt::Checked));
        QTest::mouseClick(view.Header()->viewport(), Qt::LeftButton, {}, box.center());
        for (int r = 0; r < 3; ++r)
            QCOMPARE(m->item(r)->checkState(), Qt::Unchecked);
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(1).at(0).toInt(), int(Qt::Unchecked));
    }

    void editorsFollowRoles()
    {
        CTableView view;
        auto *m = new QStandardItemModel(4, 1, &view);
        view.setModel(m);
        QStyleOptionViewItem opt;
        opt.rect = QRect(0, 0, 120, 24);
        QAbstractItemDelegate *d = view.itemDelegate();

        const QModelIndex combo = m->index(0, 0);
        m->setData(combo, QStringLiteral("B"));
        m->setData(combo,
                   QVariantList{QVariantList{QStringLiteral("A"), QIcon()}, QVariantList{QStringLiteral("C"), QIcon()}},
                   TableRole::ComboList);
        std::unique_ptr<QWidget> e1(d->createEditor(view.viewport(), opt, combo));
        auto *box = qobject_cast<QComboBox *>(e1.get());
        QVERIFY(box);
        d->setEditorData(box, combo);
        QCOMPARE(box->currentText(), QStringLiteral("B")); // missing text is added and selected
        QCOMPARE(m->data(combo, TableRole::ComboList).toList().size(), 3);
        QSignalSpy comboSpy(&view, &CTableView::SignalComboBoxTextChanged);
        box->setCurrentIndex(0);
        d->setModelData(box, m, combo);
        QCOMPARE(m->data(combo).toString(), QStringLiteral("A"));
        QCOMPARE(comboSpy.size(), 1);
        d->updateEditorGeometry(box, opt, combo);
        QCOMPARE(box->geometry(), opt.rect);

        const QModelIndex dt = m->index(1, 0);
        m->setData(dt, QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)), TableRole::DateTime);
        std::unique_ptr<QWidget> e2(d->createEditor(view.viewport(), opt, dt));
        auto *dte = qobject_cast<QDateTimeEdit *>(e2.get());
        QVERIFY(dte);
        d->setEditorData(dte, dt);
        dte->setDateTime(QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5)));
        d->setModelData(dte, m, dt);
        QCOMPARE(m->data(dt).toString(), QStringLiteral("2027-01-02"));
        QCOMPARE(m->data(dt, TableRole::DateTime).toDateTime(), QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5)));

        const QModelIndex date = m->index(2, 0);
        m->setData(date, QDate(2026, 5, 6), TableRole::Date);
        std::unique_ptr<QWidget> e3(d->createEditor(view.viewport(), opt, date));
        QVERIFY(qobject_cast<QDateEdit *>(e3.get()));

        const QModelIndex text = m->index(3, 0);
        m->setData(text, QStringLiteral("[0-9]*"), TableRole::RegExp);
        m->setData(text, 4, TableRole::MaxLength);
        std::unique_ptr<QWidget> e4(d->createEditor(view.viewport(), opt, text));
        auto *line = qobject_cast<QLineEdit *>(e4.get());
        QVERIFY(line);
        QVERIFY(line->validator());
        QString input = QStringLiteral("12a");
        int pos = 3;
        QVERIFY(line->validator()->validate(input, pos) != QValidator::Acceptable);
        input = QStringLiteral("12345");
        QCOMPARE(line->validator()->validate(input, pos), QValidator::Invalid);
        input = QStringLiteral("1234");
        QCOMPARE(line->validator()->validate(input, pos), QValidator::Acceptable);
        QSignalSpy editSpy(&view, &CTableView::SignalEditingFinished);
        line->setText(QStringLiteral("77"));
        d->setModelData(line, m, text);
        QCOMPARE(m->data(text).toString(), QStringLiteral("77"));
        QCOMPARE(editSpy.size(), 1);
    }

    void cellHelpers()
    {
        CTableView view;
        auto *m = new QStandardItemModel(2, 1, &view);
        view.setModel(m);
        view.SetText(1, 0, QStringLiteral("hello"));
        QCOMPARE(view.Text(1, 0), QStringLiteral("hello"));
        QCOMPARE(m->data(m->index(1, 0), Qt::ToolTipRole).toString(), QStringLiteral("hello"));
        // Columns up to the one named are inserted, and it takes the text.
        view.SetText(0, 3, QStringLiteral("x"));
        QCOMPARE(m->columnCount(), 4);
        QCOMPARE(view.Text(0, 3), QStringLiteral("x"));
        QCOMPARE(m->data(m->index(0, 3), Qt::ToolTipRole).toString(), QStringLiteral("x"));
        QCOMPARE(view.Text(1, 0), QStringLiteral("hello"));
    }

    void setModelReplacesDefault()
    {
        CTableView view;
        QPointer<QAbstractItemModel> original = view.model();
        QVERIFY(original);
        QStandardItemModel m(1, 1);
        view.setModel(&m);
        QVERIFY(!original); // the view's own default model is gone
        QCOMPARE(view.model(), &m);
        QVERIFY(!view.header()->sectionsMovable());
        QCOMPARE(view.indentation(), 0);
        QVERIFY(!view.rootIsDecorated());
    }
};

QTEST_MAIN(ZeltTableViewTest)
#include "tst_zelt_tableview.moc"
