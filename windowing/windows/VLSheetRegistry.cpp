#include "windowing/windows/VLSheetRegistry.h"

#include "platform/view/ViewFrame.h"

#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QWidget>

namespace {

// A message box sizes itself for the screen, not for its window: narrowed to the window, its
// wrapped texts take more lines instead. One whose buttons need more room keeps its width.
void fitMessageBoxToWidth(QMessageBox *box, int width)
{
    const int target = width - (box->frameGeometry().width() - box->width());
    QLayout *layout = box->layout();
    if (!layout || box->width() <= target)
        return;
    for (QLabel *label : box->findChildren<QLabel *>()) {
        if (!label->text().isEmpty())
            label->setWordWrap(true);
    }
    layout->invalidate();
    layout->activate();
    if (layout->totalMinimumSize().width() > target)
        return;
    const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(target)
                                                   : layout->totalMinimumSize().height();
    box->setFixedSize(target, height);
}

} // namespace

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
        if (auto *box = qobject_cast<QMessageBox *>(sheet))
            fitMessageBoxToWidth(box, frame.width());
        // move() places the sheet's frame, decorations included.
        const QSize decorated = sheet->frameGeometry().size().expandedTo(sheet->size());
        QRect proposed(QPoint(frame.x() + (frame.width() - decorated.width()) / 2, frame.y()), decorated);
        if (entry.positioner)
            proposed = entry.positioner(proposed);
        // A sheet wider than its window (a save panel) would otherwise hang off the screen's
        // edge when the window stands near it.
        sheet->move(vlRectKeptOnScreen(proposed, frame.center()).topLeft());
    }
}
