#pragma once

#include <QObject>
#include <QPointer>

// A delegate held weakly: a delegate that is a QObject is dropped when it is destroyed; any other
// delegate must clear itself before it goes.
template <typename Delegate>
class VLDelegatePointer final
{
public:
    Delegate *get() const { return m_isObject && !m_object ? nullptr : m_delegate; }
    void set(Delegate *delegate)
    {
        m_delegate = delegate;
        m_object = dynamic_cast<QObject *>(delegate);
        m_isObject = !m_object.isNull();
    }

private:
    Delegate *m_delegate = nullptr;
    QPointer<QObject> m_object;
    bool m_isObject = false;
};
