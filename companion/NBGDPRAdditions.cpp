#include "companion/NBGDPRAdditions.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {

// Keeps a child's frame equal to its parent's bounds, as edge constraints would.
class EdgePin final : public QObject
{
public:
    EdgePin(QWidget *receiver, QWidget *view) : QObject(view), m_view(view)
    {
        receiver->installEventFilter(this);
        view->setGeometry(receiver->rect());
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize && m_view && m_view->parentWidget() == watched)
            m_view->setGeometry(m_view->parentWidget()->rect());
        return false;
    }

private:
    QPointer<QWidget> m_view;
};

} // namespace

void nbgdpr_embedView(QWidget *receiver, QWidget *view, NBGDPRWindowOrdering ordering, QWidget *relativeTo)
{
    if (!receiver || !view)
        return;
    view->setParent(receiver);
    if (relativeTo && relativeTo->parentWidget() != receiver)
        relativeTo = nullptr;
    if (ordering == NBGDPRWindowOrdering::Below) {
        if (relativeTo)
            view->stackUnder(relativeTo);
        else
            view->lower();
    } else {
        view->raise();
        if (relativeTo) {
            view->stackUnder(relativeTo);
            relativeTo->stackUnder(view);
        }
    }
    new EdgePin(receiver, view);
    view->show();
}

QString nbgdpr_stringWithText(const QString &text)
{
    // Qt's rich text names the distance between lines with its own line-height type.
    QString escaped = text.toHtmlEscaped();
    escaped.replace(u'\n', QStringLiteral("<br>"));
    return QStringLiteral(
               "<p align=\"center\" style=\"margin:0; line-height:3px; -qt-line-height-type:line-distance;\">")
           + escaped + QStringLiteral("</p>");
}
