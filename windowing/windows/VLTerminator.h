#pragma once

class VLTerminatorProxy;

// A screen that may hold up quitting (a job still running, a result not yet saved).
class VLTerminator
{
public:
    virtual ~VLTerminator() = default;

    // True when the screen has started asking the user (it shows its sheet and returns at
    // once); it then calls continueTermination() on the proxy if the user chooses to quit (or
    // once the save it offered has finished), and cancelTermination() if the quit is off after
    // all. Until then the quit stays held. False when nothing holds the quit.
    virtual bool shouldDelayTerminationForTerminator(VLTerminatorProxy *proxy) = 0;
};
