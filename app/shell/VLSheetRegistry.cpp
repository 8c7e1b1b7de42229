#include "app/shell/VLSheetRegistry.h"

#include "platform/view/ViewFrame.h"

#include <QDialog>
#include <QWidget>

VLSheetRegistry &VLSheetRegistry::instance()
{
    static VLSheetRegistry registry;
    return registry;
}

QWidget *VLSheetRegistry::keyFor(QWidget *window)
{
    return window ? window->window() : nullptr;
}

VLSheetRegistry::WindowSheets &VLSheetRegistry::entryFor(QWidget *key)
{
    WindowSheets &entry = m_windows[key];
    if (key && entry.window != key) {
        // A window seen for the first time: its entry goes with it.
        entry = WindowSheets{};
        entry.window = key;
        connect(key, &QObject::destroyed, this, [this, key] { m_windows.remove(key); });
    }
    return entry;
}

void VLSheetRegistry::beginSheet(QWidget *window, QDialog *sheet, FinishHandler onFinished)
{
    if (!sheet)
        return;
    QWidget *key = keyFor(window);
    WindowSheets &entry = entryFor(key);
    if (key && sheet->parentWidget() != key)
        sheet->setParent(key, sheet->windowFlags() | Qt::Dialog);
    sheet->setAttribute(Qt::WA_DeleteOnClose, false);

    entry.waiting.append(Pending{sheet, std::move(onFinished)});
    if (!entry.current)
        showNext(key);
}

bool VLSheetRegistry::isSheetOpen(QWidget *window) const
{
    const auto it = m_windows.constFind(keyFor(window));
    if (it == m_windows.cend())
        return false;
    if (it->current)
        return true;
    for (const Pending &pending : it->waiting) {
        if (pending.sheet)
            return true;
    }
    return false;
}

QDialog *VLSheetRegistry::currentSheet(QWidget *window) const
{
    const auto it = m_windows.constFind(keyFor(window));
    return it == m_windows.cend() ? nullptr : it->current.data();
}

void VLSheetRegistry::setSheetPositioner(QWidget *window, SheetPositioner positioner)
{
    QWidget *key = keyFor(window);
    if (!key)
        return;
    entryFor(key).positioner = std::move(positioner);
}

void VLSheetRegistry::showNext(QWidget *key)
{
    auto it = m_windows.find(key);
    if (it == m_windows.end() || it->current)
        return;
    while (!it->waiting.isEmpty()) {
        Pending pending = it->waiting.takeFirst();
        if (pending.sheet) {
            present(key, *it, std::move(pending));
            return;
        }
    }
}

void VLSheetRegistry::present(QWidget *key, WindowSheets &entry, Pending pending)
{
    QDialog *sheet = pending.sheet;
    entry.current = sheet;
    connect(
        sheet, &QDialog::finished, this,
        [this, key, sheet, handler = std::move(pending.onFinished)](int result) {
            auto it = m_windows.find(key);
            if (it != m_windows.end() && it->current == sheet)
                it->current = nullptr;
            if (handler)
                handler(sheet, result);
            sheet->deleteLater();
            showNext(key);
        },
        Qt::SingleShotConnection);

    sheet->setWindowModality(key ? Qt::WindowModal : Qt::ApplicationModal);
    sheet->open();
    if (key) {
        // A sheet hangs from the top of its window, centred; the window may lower it under a
        // title area of its own.
        sheet->adjustSize();
        const QRect frame = key->geometry();
        QRect proposed(QPoint(frame.x() + (frame.width() - sheet->width()) / 2, frame.y()), sheet->size());
        if (entry.positioner)
            proposed = entry.positioner(proposed);
        // A sheet wider than its window (a save panel, a long alert) would otherwise hang off
        // the screen's edge when the window stands near it.
        // move() places the sheet's frame, decorations included.
        const QRect decorated(proposed.topLeft(), sheet->frameGeometry().size().expandedTo(proposed.size()));
        sheet->move(vlRectKeptOnScreen(decorated, frame.center()).topLeft());
    }
}
