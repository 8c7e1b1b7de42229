#pragma once

#include "windowing/navigation/VLViewController.h"

#include <QList>
#include <QPointer>

// The base of every flow screen after the drop screen. A change between two such screens is a
// partial dissolve that keeps their nonanimatableViews still.
class VLTitledViewController : public VLViewController
{
    Q_OBJECT

public:
    explicit VLTitledViewController(QObject *parent = nullptr);

    // The views the content transitions keep still; none here.
    virtual QList<QWidget *> nonanimatableViews() const;

    QWidget *titleView() const { return m_titleView; }
    void setTitleView(QWidget *view) { m_titleView = view; }

private:
    QPointer<QWidget> m_titleView;
};
