#include "updater/cocoa_initializer.h"

// Empty: Linux has no Cocoa application support to load and no autorelease pool.
class CocoaInitializer::Private { };

CocoaInitializer::CocoaInitializer()
    : d(new Private())
{
}

CocoaInitializer::~CocoaInitializer() { delete d; }
