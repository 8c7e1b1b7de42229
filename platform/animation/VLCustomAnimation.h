#pragma once

#include "platform/animation/VLAnimation.h"

// Calls its block once per frame with the target until the block answers false (which ends the
// animation with finished true). Repeat and autoreverse do not apply.
class VLCustomAnimation final : public VLAnimation
{
public:
    using Block = std::function<bool(QObject *target, VLCustomAnimation *animation)>;

    explicit VLCustomAnimation(Block block);
    static std::shared_ptr<VLCustomAnimation> animationWithBlock(Block block);

    // Media time of the current frame, and seconds since the previous frame (since the start on
    // the first frame).
    double currentTime() const { return m_currentTime; }
    double elapsedTime() const { return m_elapsedTime; }

protected:
    bool start(QObject *target, double time) override;
    bool advance(QObject *target, double time) override;

private:
    Block m_block;
    double m_currentTime = 0.0;
    double m_elapsedTime = 0.0;
};
