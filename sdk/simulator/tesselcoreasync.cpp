// The simulated SDK's entry points, generated from the one operation list.
#include "tessel/tesselcoreasync.h"

#include "simulator/engine.h"
#include "simulator/operations.h"

#include <utility>

int TesselCoreAsync::tsInit(const char* directory, const char* identity)
{
    tesselsim::detail::Engine::instance().recordOnly(
        tesselsim::Call{"tsInit", {directory ? directory : "", identity ? identity : ""}});
    return 0;
}

#define TESSEL_DEFINE_REQUEST_OP(name)                                                                       \
    void TesselCoreAsync::name(const char* request, ResultCallback callback)                                 \
    {                                                                                                        \
        tesselsim::detail::requestOperation(#name, request, std::move(callback));                            \
    }
#define TESSEL_DEFINE_CALLBACK_OP(name)                                                                      \
    void TesselCoreAsync::name(ResultCallback callback)                                                      \
    {                                                                                                        \
        tesselsim::detail::callbackOperation(#name, std::move(callback));                                    \
    }

TESSEL_CORE_OPERATIONS(TESSEL_DEFINE_REQUEST_OP, TESSEL_DEFINE_CALLBACK_OP)
