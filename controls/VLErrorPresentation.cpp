#include "controls/VLErrorPresentation.h"

#include "platform/core/Log.h"

namespace {

VLErrorPresenter &presenter()
{
    static VLErrorPresenter installed;
    return installed;
}

} // namespace

void vlSetErrorPresenter(VLErrorPresenter errorPresenter)
{
    presenter() = std::move(errorPresenter);
}

void vlPresentError(const VLError &error, QWidget *window, std::function<void(int returnCode)> completion)
{
    if (const VLErrorPresenter &show = presenter()) {
        show(error, window, std::move(completion));
        return;
    }
    platform::log(u"No alert for the error "_qs + error.description());
    if (completion)
        completion(0);
}
