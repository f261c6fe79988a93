// Address checks, the panel's field checks and requests, run addresses,
// password rating and the path chooser's pure helpers.

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "CFileDialog.h"
#include "CPathComboBox.h"
#include "PasswordRating.h"
#include "ZeltNetChecks.h"
#include "ZeltSdkWrapper.h"

using namespace ZeltNet;
using Field = ZeltFieldError::Field;

class ZeltChecksTest : public QObject
{
    Q_OBJECT
private slots:
    void ipv4_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "192.168.1.10" << true;
        QTest::newRow("last 255") << "10.0.0.255" << true;
        QTest::newRow("last 0") << "192.168.1.0" << false;
        QTest::newRow("part 256") << "192.168.256.1" << false;
        QTest::newRow("three parts") << "192.168.1" << false;
        QTest::newRow("five parts") << "1.2.3.4.5" << false;
        QTest::newRow("empty part") << "1..3.4" << false;
        QTest::newRow("sign") << "1.2.3.+4" << false;
        QTest::newRow("letters") << "a.b.c.d" << false;
        QTest::newRow("blank inside") << "1.2. 3.4" << false;
    }
    void ipv4()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(IsValidIPv4(text), valid);
    }

    void maskAndGateway()
    {
        QVERIFY(IsValidMask("255.255.255.0"));
        QVERIFY(IsValidMask("255.255.254.0"));
        QVERIFY(IsValidMask("0.0.0.0"));
        QVERIFY(IsValidMask("128.0.0.0"));
        QVERIFY(IsValidMask("255.255.255.254"));
        QVERIFY(!IsValidMask("255.255.255.255"));
        QVERIFY(!IsValidMask("255.0.255.0"));
        QVERIFY(!IsValidMask("255.255.255.0 "));
        QVERIFY(!IsValidMask("255.255.253.0"));
        QVERIFY(IsValidGateway("0.0.0.0"));
        QVERIFY(IsValidGateway("10.0.0.1"));
        QVERIFY(!IsValidGateway("10.0.0.0"));
        QVERIFY(!IsValidGateway(""));
    }

    void ipv6_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("full") << "fd00:0:0:0:0:0:0:10" << true;
        QTest::newRow("compressed") << "fd00::10" << true;
        QTest::newRow("any") << "::" << true;
        QTest::newRow("zone dropped") << "fe80::1%eth0" << true;
        QTest::newRow("ipv4 tail") << "::ffff:192.168.1.10" << true;
        QTest::newRow("ipv4 tail ends in 0") << "::ffff:192.168.1.0" << false;
        QTest::newRow("two parts") << "fd00:1" << false;
        QTest::newRow("two double colons") << "fd00::1::2" << false;
        QTest::newRow("nine groups") << "1:2:3:4:5:6:7:8:9" << false;
        QTest::newRow("group too long") << "fd000::1" << false;
        QTest::newRow("not hex") << "fg00::1" << false;
        QTest::newRow("ipv4 only") << "192.168.1.10" << false;
    }
    void ipv6()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(IsValidIPv6(text), valid);
    }

    void runAddresses()
    {
        const QString c24 = "255.255.255.0";
        QCOMPARE(RunAddresses("192.168.1.10", 3, c24),
                 (QList<QString>{"192.168.1.10", "192.168.1.11", "192.168.1.12"}));
        QCOMPARE(RunAddresses("192.168.1.10", 1, c24), QList<QString>{"192.168.1.10"});
        // Past the end of a /24: its broadcast .255 and the next .0 are
        // skipped, the third part rises.
        QCOMPARE(RunAddresses("192.168.1.253", 4, c24),
                 (QList<QString>{"192.168.1.253", "192.168.1.254", "192.168.2.1", "192.168.2.2"}));
        QCOMPARE(RunAddresses("10.0.255.254", 2, c24), (QList<QString>{"10.0.255.254", "10.1.0.1"}));
        // A start ending in 255 is itself kept; the next one skips .0.
        QCOMPARE(RunAddresses("10.0.0.255", 2, c24), (QList<QString>{"10.0.0.255", "10.0.1.1"}));
        // The end of the address space refuses the whole run.
        QCOMPARE(RunAddresses("255.255.255.253", 2, c24), (QList<QString>{"255.255.255.253", "255.255.255.254"}));
        QVERIFY(RunAddresses("255.255.255.253", 3, c24).isEmpty());
        QVERIFY(RunAddresses("255.255.255.254", 2, c24).isEmpty());
        // Addresses of a long run stay distinct.
        const QList<QString> many = RunAddresses("10.0.0.200", 600, c24);
        QCOMPARE(many.size(), 600);
        QCOMPARE(QSet<QString>(many.cbegin(), many.cend()).size(), 600);
        for (const QString &a : many)
            QVERIFY2(IsValidIPv4(a) && !a.endsWith(".255"), qPrintable(a));
    }

    void runAddressesFollowTheMask()
    {
        // In a /16, x.x.2.255 is an ordinary host address, as it is for a
        // single device; only the subnet's broadcast and a last part 0 are
        // left out.
        const QString c16 = "255.255.0.0";
        QCOMPARE(RunAddresses("10.77.2.254", 3, c16), (QList<QString>{"10.77.2.254", "10.77.2.255", "10.77.3.1"}));
        QCOMPARE(RunAddresses("10.77.255.254", 2, c16), (QList<QString>{"10.77.255.254", "10.78.0.1"}));
        // A /23 ends at x.x.3.255: x.x.2.255 is inside it.
        QCOMPARE(RunAddresses("10.0.2.254", 3, "255.255.254.0"),
                 (QList<QString>{"10.0.2.254", "10.0.2.255", "10.0.3.1"}));
        QCOMPARE(RunAddresses("10.0.3.254", 2, "255.255.254.0"), (QList<QString>{"10.0.3.254", "10.0.4.1"}));
        // A /25 has its broadcast at .127.
        QCOMPARE(RunAddresses("10.0.0.126", 2, "255.255.255.128"), (QList<QString>{"10.0.0.126", "10.0.0.128"}));
        // A /31 has no broadcast address.
        QCOMPARE(RunAddresses("10.0.0.254", 2, "255.255.255.254"), (QList<QString>{"10.0.0.254", "10.0.0.255"}));
        // Every address of a long /16 run is one a single device may take.
        const QList<QString> many = RunAddresses("10.1.0.1", 1000, c16);
        QCOMPARE(many.size(), 1000);
        QCOMPARE(QSet<QString>(many.cbegin(), many.cend()).size(), 1000);
        QVERIFY(many.contains("10.1.0.255"));
        QVERIFY(many.contains("10.1.2.255"));
        for (const QString &a : many)
            QVERIFY2(IsValidIPv4(a), qPrintable(a));
    }

    // The network fields are checked in reading order and the first that
    // fails is named with its message; fields not in use are not checked.
    void networkFields()
    {
        // address, mask, port, HTTP port, gateway, IPv6, IPv6 gateway, prefix, password
        const QStringList good{"10.0.0.5", "255.255.0.0", "8000", "80", "", "fd00::5", "", "64", "Admin12345"};
        struct Case {
            int index; // the field given another text
            QString text;
            bool inUse;  // HTTP port and IPv6 in use
            int failing; // the field named, or -1
            const char *message;
        };
        const QList<Case> cases{
            {0, "10.0.0.5", true, -1, ""},
            {0, " ", true, int(Field::IPv4), "IP address cannot be empty."},
            {0, "10.0.0.0", true, int(Field::IPv4), "IP Address not correct."},
            {1, "", true, int(Field::Mask), "Subnet mask cannot be empty."},
            {1, "255.255.255.255", true, int(Field::Mask), "Subnet Mask not correct."},
            {2, "1999", true, int(Field::Port), "Device port ranges from 2000 to 65535."},
            {2, "", true, int(Field::Port), "Device port ranges from 2000 to 65535."},
            {3, "0", true, int(Field::HttpPort), "Http port ranges from 1 to 65535."},
            {3, "0", false, -1, ""},
            {4, "10.0.0.0", true, int(Field::Gateway), "Gateway not correct."},
            {4, "0.0.0.0", true, -1, ""},
            {5, "fd00::1::2", true, int(Field::IPv6), "IPv6 Address not correct."},
            {5, "fd00::1::2", false, -1, ""},
            {6, "fd00:::1", true, int(Field::IPv6Gateway), "IPv6 gateway not correct."},
            {7, "65", true, int(Field::IPv6Prefix), "IPv6 prefix length ranges from 0 to 64."},
            {8, QString::fromUtf8("Pässwort12"), true, int(Field::Password),
             "The password may only contain printable ASCII characters."},
        };
        for (const Case &c : cases) {
            QStringList f = good;
            f[c.index] = c.text;
            if (c.index == 0 && c.text == "10.0.0.0")
                f[2] = "1"; // a later field wrong too: the first failure is the one told
            const ZeltNetworkRequest::Fields fields{f[0], f[1], f[2], f[3],    f[4],   f[5],
                                                    f[6], f[7], f[8], c.inUse, c.inUse};
            const auto checked = CheckNetworkFields(fields);
            const QByteArray what = QByteArray::number(c.index) + " " + c.text.toUtf8();
            if (c.failing < 0) {
                QVERIFY2(std::holds_alternative<ZeltNetworkRequest>(checked), what);
                continue;
            }
            QVERIFY2(std::holds_alternative<ZeltFieldError>(checked), what);
            QCOMPARE(int(std::get<ZeltFieldError>(checked).field), c.failing);
            QCOMPARE(std::get<ZeltFieldError>(checked).message, QString(c.message));
        }
    }

    void passwordsAndCodes()
    {
        QVERIFY(!CheckNewPassword("Abcd1234", "Abcd1234"));
        QCOMPARE(CheckNewPassword("", "")->message, QString("The password can not be empty."));
        QCOMPARE(CheckNewPassword("Abcd1234", "abcd1234")->message, QString("The password you typed do not match."));
        const QString accented = QString::fromUtf8("Abcdé1234");
        QCOMPARE(CheckNewPassword(accented, accented)->message,
                 QString("The password may only contain printable ASCII characters."));
        QCOMPARE(CheckNewPassword(accented, accented)->field, Field::NewPassword);
        QVERIFY(!CheckSecurityCode("SecCode123"));
        QCOMPARE(CheckSecurityCode("")->message, QString("Password cannot be empty."));
        QCOMPARE(CheckSecurityCode(QString::fromUtf8("SecCodé123"))->message,
                 QString("The security code may only contain printable ASCII characters."));
        QVERIFY(!CheckPassword("", Field::BatchPassword));
        QCOMPARE(CheckPassword(QString::fromUtf8("Admin12345€"), Field::BatchPassword)->field, Field::BatchPassword);
    }

    // The batch DHCP change's parameter block: empty IPv6 texts become
    // "any", an empty HTTP port 0 (both: leave unchanged).
    void netParamBlock()
    {
        ZELT_NET_PARAM p;
        ZeltSdkWrapper::BuildNetParam(p, "10.0.0.2", "255.0.0.0", "", "", "", 0, "8000", "", true);
        QCOMPARE(QByteArray(p.szIPv6Address), QByteArray("::"));
        QCOMPARE(QByteArray(p.szIPv6Gateway), QByteArray("::"));
        QCOMPARE(int(p.wHttpPort), 0);
        QCOMPARE(int(p.wPort), 8000);
        QCOMPARE(int(p.byDhcpEnable), 1);
    }

    void printableAscii()
    {
        QVERIFY(IsPrintableAscii("Abc12345!~ "));
        QVERIFY(IsPrintableAscii(""));
        QVERIFY(!IsPrintableAscii(QString::fromUtf8("Pässword1")));
        QVERIFY(!IsPrintableAscii(QString::fromUtf8("密码Abc123")));
        QVERIFY(!IsPrintableAscii(QStringLiteral("Abc\t12345")));
    }

    void rating_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("level");
        QTest::newRow("user name") << QByteArray("admin") << 0;
        QTest::newRow("seven") << QByteArray("Ab1!xyz") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("eight same") << QByteArray("aaaaaaaa") << 0;
        QTest::newRow("lower+digits") << QByteArray("abcd1234") << 1;
        QTest::newRow("upper+digits") << QByteArray("ABCD1234") << 1;
        QTest::newRow("upper+lower") << QByteArray("ABCDabcd") << 2;
        QTest::newRow("digits+punct") << QByteArray("1234!@#$") << 2;
        QTest::newRow("lower+punct") << QByteArray("abcd!@#$") << 2;
        QTest::newRow("three kinds") << QByteArray("Abcd1234") << 3;
        QTest::newRow("four kinds") << QByteArray("Ab1!Ab1!") << 3;
        QTest::newRow("non-ascii is special") << QByteArray("abcd\xe9\xe9\xe9\xe9") << 2;
        QTest::newRow("no upper bound") << QByteArray("Abcdefgh12345678901234") << 3;
    }
    void rating()
    {
        QFETCH(QByteArray, password);
        QFETCH(int, level);
        QCOMPARE(RatePassword("admin", password), level);
    }
    void ratingUserNameCases()
    {
        // Equal to the user name or its reverse (case-sensitive) is weak,
        // whatever its kinds.
        QCOMPARE(RatePassword("Admin_2026", "Admin_2026"), 0);
        QCOMPARE(RatePassword("Admin_2026", "6202_nimdA"), 0);
        QCOMPARE(RatePassword("Admin_2026", "admin_2026"), 3);
    }

    void filterExtension()
    {
        QCOMPARE(CPathComboBox::FilterExtension("Excel (*.xls)"), QString(".xls"));
        QCOMPARE(CPathComboBox::FilterExtension("Images (*.png *.jpg)"), QString(".png"));
        QCOMPARE(CPathComboBox::FilterExtension("*.txt"), QString(".txt"));
        QCOMPARE(CPathComboBox::FilterExtension("All"), QString());
        QCOMPARE(CPathComboBox::FilterExtension(""), QString());
    }

    void startFolder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(CFileDialog::StartFolder(dir.path()), dir.path());
        // A file (even one that does not exist) in an existing folder: that folder.
        QCOMPARE(QDir(CFileDialog::StartFolder(dir.filePath("missing.xml"))).absolutePath(),
                 QDir(dir.path()).absolutePath());
        QCOMPARE(CFileDialog::StartFolder(dir.filePath("no/such/place.xml")), QDir::currentPath());
        QCOMPARE(CFileDialog::StartFolder(QString()), QDir::currentPath());
    }
};

QTEST_MAIN(ZeltChecksTest)
#include "tst_zelt_checks.moc"
