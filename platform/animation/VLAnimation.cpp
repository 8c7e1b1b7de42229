#include "platform/animation/VLAnimation.h"

VLAnimation::~VLAnimation() = default;
