// The tab drag payload: byte layout, short and garbled data.
#include "TabDragData.h"

#include <QMimeData>
#include <QPixmap>
#include <QtTest>

#include <memory>

class TestTabDragData : public QObject
{
    Q_OBJECT

private slots:
    void encodesLittleEndianIndexThenType();
    void decodesShortData_data();
    void decodesShortData();
    void mimeDataRoundTrip();
    void acceptsOnlyUsablePageTypes();
};

void TestTabDragData::encodesLittleEndianIndexThenType()
{
    const QByteArray bytes = TabDrag::EncodeData(3, 0x0102A0B0);
    QCOMPARE(bytes, QByteArray::fromHex("03000000B0A00201"));
    QCOMPARE(TabDrag::EncodeData(-1, 7), QByteArray::fromHex("FFFFFFFF07000000"));

    int iIndex = 0, iType = 0;
    TabDrag::DecodeData(bytes, &iIndex, &iType);
    QCOMPARE(iIndex, 3);
    QCOMPARE(iType, 0x0102A0B0);
}

void TestTabDragData::decodesShortData_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("type");
    QTest::newRow("empty") << QByteArray() << -1 << -1;
    QTest::newRow("3 bytes") << QByteArray::fromHex("050000") << -1 << -1;
    QTest::newRow("4 bytes") << QByteArray::fromHex("05000000") << 5 << -1;
    QTest::newRow("7 bytes") << QByteArray::fromHex("05000000090000") << 5 << -1;
    QTest::newRow("8 bytes") << QByteArray::fromHex("0500000009000000") << 5 << 9;
    QTest::newRow("trailing garbage") << QByteArray::fromHex("0200000004000000DEADBEEF") << 2 << 4;
}

void TestTabDragData::decodesShortData()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, index);
    QFETCH(int, type);
    int iIndex = 99, iType = 99;
    TabDrag::DecodeData(bytes, &iIndex, &iType);
    QCOMPARE(iIndex, index);
    QCOMPARE(iType, type);
}

void TestTabDragData::mimeDataRoundTrip()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    const QIcon icon(pixmap);
    const QString strText = QString::fromUtf8("Gerät 设备");
    std::unique_ptr<QMimeData> pMime(TabDrag::BuildMimeData(4, 6, strText, icon));

    QVERIFY(pMime->hasFormat("TabItemData"));
    QCOMPARE(pMime->data("TabItemData"), QByteArray::fromHex("0400000006000000"));
    QCOMPARE(pMime->data("TabItemText"), strText.toUtf8());
    QVERIFY(pMime->hasImage());

    const TabDrag::Payload payload = TabDrag::ReadMimeData(pMime.get());
    QCOMPARE(payload.iTabIndex, 4);
    QCOMPARE(payload.iPageType, 6);
    QCOMPARE(payload.strText, strText);
    QVERIFY(!payload.icon.isNull());
    QCOMPARE(payload.icon.pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::red));

    // An image from elsewhere still becomes an icon.
    QMimeData other;
    other.setData("TabItemData", TabDrag::EncodeData(1, 2));
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    other.setImageData(image);
    QVERIFY(!TabDrag::ReadMimeData(&other).icon.isNull());
    QVERIFY(TabDrag::ReadMimeData(&other).strText.isEmpty());
}

void TestTabDragData::acceptsOnlyUsablePageTypes()
{
    QVERIFY(!TabDrag::IsAcceptable(nullptr));
    QMimeData mime;
    QVERIFY(!TabDrag::IsAcceptable(&mime));
    mime.setText("not a tab");
    QVERIFY(!TabDrag::IsAcceptable(&mime));
    mime.setData("TabItemData", QByteArray::fromHex("010000"));
    QVERIFY(!TabDrag::IsAcceptable(&mime));
    mime.setData("TabItemData", QByteArray::fromHex("01000000020000"));
    QVERIFY(!TabDrag::IsAcceptable(&mime));
    mime.setData("TabItemData", TabDrag::EncodeData(1, 0));
    QVERIFY(!TabDrag::IsAcceptable(&mime));
    mime.setData("TabItemData", TabDrag::EncodeData(1, -3));
    QVERIFY(!TabDrag::IsAcceptable(&mime));
    mime.setData("TabItemData", TabDrag::EncodeData(1, 3));
    QVERIFY(TabDrag::IsAcceptable(&mime));
}

QTEST_MAIN(TestTabDragData)
#include "tst_tabdragdata.moc"
