#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QDialog;
class QWidget;

// Sheets are window-modal dialogs; a window shows one at a time. The registry answers whether
// a window has a sheet and shows further sheets one after the other, in the order they were
// begun. Dialogs it is given are deleted after they finished.
class VLSheetRegistry final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLSheetRegistry)

public:
    using FinishHandler = std::function<void(QDialog *sheet, int result)>;

    static VLSheetRegistry &instance();

    // Shows the dialog as a sheet of the window (its top-level widget) once the window has no
    // other sheet. A null window stands for the application: the dialog is then application-modal.
    // The handler runs when the dialog finishes, after the window stopped counting it as open.
    void beginSheet(QWidget *window, QDialog *sheet, FinishHandler onFinished);

    // True while the window shows a sheet or has one waiting.
    bool isSheetOpen(QWidget *window) const;

    // The sheet the window shows now, or null.
    QDialog *currentSheet(QWidget *window) const;

    // Where a window wants its sheets: it answers the rectangle proposed for the sheet.
    using SheetPositioner = std::function<QRect(const QRect &proposed)>;
    void setSheetPositioner(QWidget *window, SheetPositioner positioner);

private:
    VLSheetRegistry() = default;

    struct Pending
    {
        QPointer<QDialog> sheet;
        FinishHandler onFinished;
    };
    struct WindowSheets
    {
        QPointer<QWidget> window;
        QPointer<QDialog> current;
        QList<Pending> waiting;
        SheetPositioner positioner;
    };

    static QWidget *keyFor(QWidget *window);
    WindowSheets &entryFor(QWidget *key);
    void showNext(QWidget *key);
    void present(QWidget *key, WindowSheets &entry, Pending pending);

    QHash<QWidget *, WindowSheets> m_windows;
};
