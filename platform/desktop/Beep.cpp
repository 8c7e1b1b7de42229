#include "platform/desktop/Beep.h"

#include <QApplication>

namespace platform {
namespace {

BeepHandler &beepHandler()
{
    static BeepHandler handler;
    return handler;
}

} // namespace

void beep()
{
    if (const BeepHandler &handler = beepHandler())
        handler();
    else
        QApplication::beep();
}

void setBeepHandler(BeepHandler handler)
{
    beepHandler() = std::move(handler);
}

} // namespace platform
