#include "updater/cocoa_initializer.h"

#include "updater/objc_runtime.h"

class CocoaInitializer::Private {
public:
    velmora::objc::Id pool;
};

CocoaInitializer::CocoaInitializer()
    : d(new Private())
{
    velmora::objc::Runtime& runtime = velmora::objc::runtime();
    runtime.loadApplication();
    d->pool = runtime.allocInit("NSAutoreleasePool");
}

CocoaInitializer::~CocoaInitializer()
{
    velmora::objc::runtime().release(d->pool);
    delete d;
}
