#include "windowing/transitions/VLRecordedAlphas.h"

#include "platform/view/ViewAlpha.h"

void VLRecordedAlphas::record(const QList<QWidget *> &views)
{
    for (QWidget *view : views) {
        if (view)
            m_entries.append({view, vlAlphaValue(view)});
    }
}

void VLRecordedAlphas::restore() const
{
    for (const auto &[view, alpha] : m_entries) {
        if (view)
            vlSetAlphaValue(view.data(), alpha);
    }
}

QList<double> VLRecordedAlphas::values() const
{
    QList<double> values;
    for (const auto &entry : m_entries)
        values.append(entry.second);
    return values;
}
