#include "applicationservices.h"

namespace {
ApplicationServices *g_instance = nullptr;
}

ApplicationServices::ApplicationServices()
{
    g_instance = this;
}

ApplicationServices::~ApplicationServices()
{
    if (g_instance == this)
        g_instance = nullptr;
}

ApplicationServices *ApplicationServices::instance()
{
    return g_instance;
}
