#pragma once
// Widgets of the plug-in found by object name and driven as a user would:
// clicks and keys. A widget that is not there fails the test that asked
// for it (and the test goes on with a stand-in), not the whole program.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QtTest>

#include <type_traits>

namespace ZeltTest {

// Where the stand-ins for missing widgets live (never shown).
inline QWidget *StandIns()
{
    static QPointer<QWidget> holder;
    if (!holder)
        holder = new QWidget;
    return holder;
}

template <typename T>
T *StandIn()
{
    if constexpr (std::is_same_v<T, QAbstractButton>)
        return new QPushButton(StandIns());
    else
        return new T(StandIns());
}

template <typename T>
T *Child(const QObject *parent, const char *name, const char *file = __builtin_FILE(), int line = __builtin_LINE())
{
    if (T *w = parent ? parent->findChild<T *>(QString::fromLatin1(name)) : nullptr)
        return w;
    QTest::qFail(qPrintable(QStringLiteral("no widget %1").arg(QLatin1String(name))), file, line);
    return StandIn<T>();
}

inline void Click(QAbstractButton *button, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(button, Qt::LeftButton, modifiers);
}

// Replaces a field's text by typing it (the field's validator has its say).
inline void Type(QLineEdit *field, const QString &text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(field, char(c.unicode()));
        else // a key that types a character beyond ASCII, as an input method does
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// A click on a row of a table (Ctrl adds it to the selection).
inline void ClickRow(QAbstractItemView *view, int row, Qt::KeyboardModifiers modifiers = {})
{
    const QModelIndex index = view->model()->index(row, 1);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(index).center());
}

// Selects these rows in this order, as a click and Ctrl-clicks do.
inline void SelectRows(QAbstractItemView *view, const QList<int> &rows)
{
    for (int i = 0; i < rows.size(); ++i)
        ClickRow(view, rows.at(i), i == 0 ? Qt::NoModifier : Qt::ControlModifier);
}

} // namespace ZeltTest
