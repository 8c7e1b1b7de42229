#include "platform/animation/VLCustomAnimation.h"

VLCustomAnimation::VLCustomAnimation(Block block) : m_block(std::move(block))
{
}

std::shared_ptr<VLCustomAnimation> VLCustomAnimation::animationWithBlock(Block block)
{
    return std::make_shared<VLCustomAnimation>(std::move(block));
}

bool VLCustomAnimation::start(QObject *target, double time)
{
    Q_UNUSED(target)
    m_currentTime = time;
    m_elapsedTime = 0.0;
    return bool(m_block);
}

bool VLCustomAnimation::advance(QObject *target, double time)
{
    m_elapsedTime = time - m_currentTime;
    m_currentTime = time;
    return !m_block(target, this);
}
