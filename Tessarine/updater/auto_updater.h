#pragma once

// The program's view of an update framework: one background check, started at
// start-up.
class AutoUpdater {
public:
    virtual ~AutoUpdater() { }
    virtual void checkForUpdates() = 0;
};
