#pragma once

#include <QList>
#include <QPair>
#include <QPointer>
#include <QWidget>

// Alphas a transition records and puts back later. Kept with their views, so they go back to the
// same views even when the view tree changed in between; views destroyed meanwhile are skipped.
class VLRecordedAlphas final
{
public:
    void record(const QList<QWidget *> &views);
    void restore() const;
    void clear() { m_entries.clear(); }

    bool isEmpty() const { return m_entries.isEmpty(); }
    QList<double> values() const;
    const QList<QPair<QPointer<QWidget>, double>> &entries() const { return m_entries; }

private:
    QList<QPair<QPointer<QWidget>, double>> m_entries;
};
