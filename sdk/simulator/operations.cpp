#include "simulator/operations.h"

#include "simulator/behaviour.h"
#include "simulator/engine.h"

#include <string>
#include <utility>
#include <vector>

namespace tesselsim::detail {
namespace {

void answer(const char* operation, std::vector<std::string> args, ResultCallback callback)
{
    // Found once here; the handler below works with what was found.
    const OperationEntry* entry = findOperation(operation);
    Engine::instance().call(operation, std::move(args), std::move(callback),
                            [entry, operation](FleetState& state, const std::vector<std::string>& copied) {
                                return behave(state, entry, operation, copied);
                            });
}

} // namespace

void requestOperation(const char* operation, const char* request, ResultCallback callback)
{
    answer(operation, {request ? std::string(request) : std::string()}, std::move(callback));
}

void callbackOperation(const char* operation, ResultCallback callback)
{
    answer(operation, {}, std::move(callback));
}

} // namespace tesselsim::detail
