#include "modules/imodule.h"

namespace velmora {

IModule::IModule(QObject* parent)
    : QObject(parent)
{
}

IModule::~IModule() = default;

} // namespace velmora
