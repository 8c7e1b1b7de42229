#pragma once

#include <QObject>
#include <QPointer>

// A weak delegate link. A delegate that is a QObject is forgotten when it is destroyed; any other
// delegate is a plain observer that its owner clears before it goes.
template <class Delegate>
class VLWeakDelegate final
{
public:
    VLWeakDelegate() = default;

    void set(Delegate *delegate)
    {
        m_delegate = delegate;
        m_object = dynamic_cast<QObject *>(delegate);
        m_isObject = !m_object.isNull();
    }

    Delegate *get() const { return m_isObject && m_object.isNull() ? nullptr : m_delegate; }

private:
    Delegate *m_delegate = nullptr;
    QPointer<QObject> m_object;
    bool m_isObject = false;
};
