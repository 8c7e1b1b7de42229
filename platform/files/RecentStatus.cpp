#include "platform/files/RecentStatus.h"

namespace platform::RecentStatus {
namespace {

struct Slot
{
    QByteArray path;
    struct statx status = {};
    bool valid = false;
};

thread_local Slot slot;

} // namespace

void remember(const QByteArray &path, const struct statx &status)
{
    slot.path = path;
    slot.status = status;
    slot.valid = true;
}

bool take(const QByteArray &path, struct statx *status)
{
    if (!slot.valid || slot.path != path)
        return false;
    *status = slot.status;
    slot.valid = false;
    return true;
}

void forget()
{
    slot.valid = false;
}

} // namespace platform::RecentStatus
