// Validators and check functions, for the edition this file is linked with.

#include "Validators.h"

#include <QLineEdit>
#include <QtTest>

class TstValidators : public QObject
{
    Q_OBJECT
private slots:
    void byteLimitKeepsAFullAddress();
    void byteLimitCountsEveryByte();
    void byteLimitWhileTyping();
#ifndef TOOLKIT_PLUGIN_EDITION
    void forbiddenPatternDropsTypedCharacter();
    void pastedRunIsCutToTheLimit();
    void pastedForbiddenCharactersAreAllRemoved();
    void anythingPatternOnlyLimits();
#else
    void patternDescribesWhatIsAllowed();
#endif
    void addressByPattern_data();
    void addressByPattern();
    void addressBySplit_data();
    void addressBySplit();
    void multicast_data();
    void multicast();
    void mask_data();
    void mask();
    void mac_data();
    void mac();
};

namespace {
// Types any text, one key event per character (keyClicks takes Latin-1 only).
void typeText(QWidget *w, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

QString address39()
{
    // 39 characters: the longest text an address field takes.
    QString s = QStringLiteral("255.255.255.255.255.255.255.255.255.255");
    s.truncate(39);
    return s;
}
} // namespace

void TstValidators::byteLimitKeepsAFullAddress()
{
    CRegExpValidator v(39);
    QString text = address39();
    int pos = text.size();
    QCOMPARE(text.size(), 39);
    QCOMPARE(v.validate(text, pos), QValidator::Acceptable);
    QCOMPARE(text, address39());

    QString longer = address39() + QLatin1Char('9');
    pos = longer.size();
#ifndef TOOLKIT_PLUGIN_EDITION
    QCOMPARE(v.validate(longer, pos), QValidator::Intermediate);
    QCOMPARE(longer, address39());
    QCOMPARE(pos, 39);
#else
    QCOMPARE(v.validate(longer, pos), QValidator::Invalid);
#endif
}

void TstValidators::byteLimitCountsEveryByte()
{
    // The 8-bit encoding is UTF-8 here: "é" takes two bytes, "中" three.
    QCOMPARE(CRegExpValidator::ByteLength(QString::fromUtf8("é")), 2);
    CRegExpValidator v(4);
    QString fits = QString::fromUtf8("abé");
    int pos = fits.size();
    QCOMPARE(v.validate(fits, pos), QValidator::Acceptable);

    QString over = QString::fromUtf8("abcé");
    pos = over.size();
#ifndef TOOLKIT_PLUGIN_EDITION
    QCOMPARE(v.validate(over, pos), QValidator::Intermediate);
    QCOMPARE(over, QStringLiteral("abc"));
    QCOMPARE(pos, 3);
#else
    QCOMPARE(v.validate(over, pos), QValidator::Invalid);
#endif

    // A character outside the basic plane is removed whole, never half.
    CRegExpValidator v2(6);
    QString emoji = QStringLiteral("ab") + QString::fromUtf8("\xF0\x9F\x98\x80");
    pos = emoji.size();
#ifndef TOOLKIT_PLUGIN_EDITION
    QCOMPARE(v2.validate(emoji, pos), QValidator::Acceptable);
    emoji += QString::fromUtf8("\xF0\x9F\x98\x80");
    pos = emoji.size();
    QCOMPARE(v2.validate(emoji, pos), QValidator::Intermediate);
    QCOMPARE(emoji, QStringLiteral("ab") + QString::fromUtf8("\xF0\x9F\x98\x80"));
#else
    QCOMPARE(v2.validate(emoji, pos), QValidator::Acceptable);
#endif
}

void TstValidators::byteLimitWhileTyping()
{
    QLineEdit edit;
    edit.setValidator(new CRegExpValidator(5, &edit));
    QTest::keyClicks(&edit, QStringLiteral("1234567"));
    QCOMPARE(edit.text(), QStringLiteral("12345"));
    edit.clear();
    typeText(&edit, QString::fromUtf8("ab中c"));
    QCOMPARE(edit.text(), QString::fromUtf8("ab中"));
}

#ifndef TOOLKIT_PLUGIN_EDITION
void TstValidators::forbiddenPatternDropsTypedCharacter()
{
    QLineEdit edit;
    edit.setValidator(new CRegExpValidator(39, QRegularExpression(QStringLiteral("[^0-9.]")), &edit));
    QTest::keyClicks(&edit, QStringLiteral("192.168.1.1"));
    QCOMPARE(edit.text(), QStringLiteral("192.168.1.1"));
    QTest::keyClicks(&edit, QStringLiteral("x"));
    QCOMPARE(edit.text(), QStringLiteral("192.168.1.1"));
    // In the middle of the text too.
    edit.setCursorPosition(3);
    QTest::keyClicks(&edit, QStringLiteral("a"));
    QCOMPARE(edit.text(), QStringLiteral("192.168.1.1"));
    QCOMPARE(edit.cursorPosition(), 3);

    CRegExpValidator v(QRegularExpression(QStringLiteral("[^0-9.]")));
    QString ok = QStringLiteral("10.0.0.1");
    int pos = ok.size();
    QCOMPARE(v.validate(ok, pos), QValidator::Acceptable);
}

void TstValidators::pastedRunIsCutToTheLimit()
{
    CRegExpValidator v(5);
    QString text = QStringLiteral("abcdefgh");
    int pos = text.size();
    QCOMPARE(v.validate(text, pos), QValidator::Intermediate);
    QCOMPARE(text, QStringLiteral("abcde"));
    QCOMPARE(pos, 5);

    QLineEdit edit;
    edit.setValidator(new CRegExpValidator(5, &edit));
    edit.insert(QStringLiteral("0123456789"));
    QVERIFY(CRegExpValidator::ByteLength(edit.text()) <= 5);
}

void TstValidators::pastedForbiddenCharactersAreAllRemoved()
{
    // Only the forbidden characters go; the cursor stays behind the pasted text.
    CRegExpValidator v(QRegularExpression(QStringLiteral("/")));
    QString text = QStringLiteral("ab/cd");
    int pos = text.size();
    QCOMPARE(v.validate(text, pos), QValidator::Intermediate);
    QCOMPARE(text, QStringLiteral("abcd"));
    QCOMPARE(pos, 4);

    QLineEdit edit;
    edit.setValidator(new CRegExpValidator(QRegularExpression(QStringLiteral("/")), &edit));
    edit.insert(QStringLiteral("/x/y"));
    QCOMPARE(edit.text(), QStringLiteral("xy"));
    // Pasted into the middle of a text.
    edit.setText(QStringLiteral("head"));
    edit.setCursorPosition(2);
    edit.insert(QStringLiteral("/x/y/"));
    QCOMPARE(edit.text(), QStringLiteral("hexyad"));
    QCOMPARE(edit.cursorPosition(), 4);
}

void TstValidators::anythingPatternOnlyLimits()
{
    CRegExpValidator v(10);
    QString text = QStringLiteral("a/b*c?");
    int pos = text.size();
    QCOMPARE(v.validate(text, pos), QValidator::Acceptable);
    QCOMPARE(text, QStringLiteral("a/b*c?"));
}
#else
void TstValidators::patternDescribesWhatIsAllowed()
{
    CRegExpValidator v(39, QRegularExpression(QStringLiteral("[0-9.]*")));
    QString ok = QStringLiteral("192.168.1.1");
    int pos = ok.size();
    QCOMPARE(v.validate(ok, pos), QValidator::Acceptable);
    QString bad = QStringLiteral("192.168.1.a");
    pos = bad.size();
    QCOMPARE(v.validate(bad, pos), QValidator::Invalid);
    QCOMPARE(bad, QStringLiteral("192.168.1.a"));

    QLineEdit edit;
    edit.setValidator(new CRegExpValidator(39, QRegularExpression(QStringLiteral("[0-9.]*")), &edit));
    QTest::keyClicks(&edit, QStringLiteral("10.x0"));
    QCOMPARE(edit.text(), QStringLiteral("10.0"));
}
#endif

void TstValidators::addressByPattern_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "192.168.1.1" << true;
    QTest::newRow("last zero") << "192.168.1.0" << false;
    QTest::newRow("first zero") << "0.1.1.1" << true;
    QTest::newRow("256") << "192.256.1.1" << false;
    QTest::newRow("255") << "255.255.255.255" << true;
    QTest::newRow("three parts") << "1.2.3" << false;
    QTest::newRow("five parts") << "1.2.3.4.5" << false;
    QTest::newRow("letters") << "a.b.c.d" << false;
    QTest::newRow("empty part") << "1..2.3" << false;
    QTest::newRow("blank") << " 1.2.3.4" << false;
    QTest::newRow("huge") << "99999999999.1.1.1" << false;
    QTest::newRow("empty") << "" << false;
}

void TstValidators::addressByPattern()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(CheckIpAddressByPattern(text), valid);
}

void TstValidators::addressBySplit_data()
{
    addressByPattern_data();
    QTest::newRow("sign") << "1.2.3.+4" << false;
    QTest::newRow("leading zeros") << "010.001.001.001" << true;
}

void TstValidators::addressBySplit()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(CheckIpAddressBySplit(text), valid);
}

void TstValidators::multicast_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("low") << "224.0.0.1" << true;
    QTest::newRow("high") << "239.255.255.255" << true;
    QTest::newRow("last zero is fine") << "230.1.1.0" << true;
    QTest::newRow("240") << "240.0.0.1" << false;
    QTest::newRow("223") << "223.1.1.1" << false;
    QTest::newRow("part 300") << "224.1.1.300" << false;
    QTest::newRow("trailing part") << "224.1.1.1.5" << false;
    QTest::newRow("trailing letters") << "224.1.1.1x" << false;
    QTest::newRow("three parts") << "224.1.1" << false;
}

void TstValidators::multicast()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(CheckMulticastAddress(text), valid);
}

void TstValidators::mask_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("/24") << "255.255.255.0" << true;
    QTest::newRow("/31") << "255.255.255.254" << true;
    QTest::newRow("/0") << "0.0.0.0" << true;
    QTest::newRow("/1") << "128.0.0.0" << true;
    QTest::newRow("/32") << "255.255.255.255" << false;
    QTest::newRow("holes") << "255.0.255.0" << false;
    QTest::newRow("253") << "255.255.253.0" << false;
    QTest::newRow("trailing") << "255.255.0.0x" << false;
    QTest::newRow("leading") << "x255.255.0.0" << false;
}

void TstValidators::mask()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(CheckSubnetMask(text), valid);
}

void TstValidators::mac_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("mixed case") << "00:1A:2b:3C:4d:5E" << true;
    QTest::newRow("dashes") << "00-1A-2B-3C-4D-5E" << false;
    QTest::newRow("bare") << "001A2B3C4D5E" << false;
    QTest::newRow("trailing colon") << "00:1A:2B:3C:4D:5E:" << false;
    QTest::newRow("not hex") << "00:1A:2B:3C:4D:5G" << false;
    QTest::newRow("short") << "00:1A:2B:3C:4D" << false;
}

void TstValidators::mac()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(CheckMacAddress(text), valid);
}

QTEST_MAIN(TstValidators)
#include "tst_validators.moc"
