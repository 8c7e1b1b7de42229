#pragma once

#include <QObject>

// One distance of a layout that animations change: the view that owns it lays its subviews out
// again whenever the constant changes. The animation engine animates "constant".
class VLLayoutConstraint final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double constant READ constant WRITE setConstant NOTIFY constantChanged)

public:
    explicit VLLayoutConstraint(double constant, QObject *parent = nullptr) : QObject(parent), m_constant(constant) {}

    double constant() const { return m_constant; }
    void setConstant(double constant)
    {
        if (m_constant == constant)
            return;
        m_constant = constant;
        emit constantChanged(constant);
    }

signals:
    void constantChanged(double constant);

private:
    double m_constant = 0.0;
};
