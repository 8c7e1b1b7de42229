#pragma once

#include <functional>

namespace platform::interim {

// The two global work queues the file services run on. This stands in for the shared dispatch
// layer until it is available to this code; every caller goes through this one function so that
// the switch is a single edit.
enum class QueuePriority { Default, Background };

void dispatchAsync(QueuePriority priority, std::function<void()> work);

} // namespace platform::interim
