#pragma once

// Loads the Cocoa application support and keeps an autorelease pool open for
// as long as it lives: the objects that starting the update check creates are
// freed when it goes out of scope.
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
