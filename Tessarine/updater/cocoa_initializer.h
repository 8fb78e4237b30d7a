#pragma once

// Spans the start of the update check, where the framework needs the Cocoa
// application support loaded and an autorelease pool open.
class CocoaInitializer {
public:
    CocoaInitializer();
    ~CocoaInitializer();
    CocoaInitializer(const CocoaInitializer&) = delete;
    CocoaInitializer& operator=(const CocoaInitializer&) = delete;

private:
    class Private;
    Private* d;
};
