// Custom events of the shell.
#pragma once

#include <QEvent>
#include <QMap>
#include <QVariant>

namespace qTBX {

// An event carrying integer keys with values; setting a present key
// replaces its value.
class CCustomEvent : public QEvent
{
public:
    // Asks a page frame to add or activate a page: key 32 page type, key 33 detached.
    static constexpr QEvent::Type OpenPage = static_cast<QEvent::Type>(QEvent::User + 102);
    enum Key { PageType = 32, Detached = 33 };

    explicit CCustomEvent(QEvent::Type type) : QEvent(type) {}
    void SetValue(int iKey, const QVariant &value) { m_values.insert(iKey, value); }
    QVariant Value(int iKey) const { return m_values.value(iKey); }
    bool HasValue(int iKey) const { return m_values.contains(iKey); }

private:
    QMap<int, QVariant> m_values;
};

} // namespace qTBX
