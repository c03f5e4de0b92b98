#include "tessel-run/toolbase.h"

namespace tessel {
namespace {

ConsoleServices::Options withoutHistory()
{
    ConsoleServices::Options options;
    options.keepHistory = false;
    options.memory = RequestRunner::Memory::UntilReleased;
    return options;
}

} // namespace

ToolBase::ToolBase(std::FILE* out, std::FILE* err, bool progress, QObject* parent)
    : QObject(parent), out(out), err(err), progress(progress), services(withoutHistory())
{}

void ToolBase::fail(const std::string& message)
{
    std::fprintf(err, "tessel-run: %s\n", message.c_str());
    end(BadInput);
}

void ToolBase::end(int code)
{
    if (ended)
        return;
    ended = true;
    std::fflush(out);
    // Queued: the caller may not have entered the event loop yet.
    QMetaObject::invokeMethod(
        this, [this, code] { emit done(code); }, Qt::QueuedConnection);
}

} // namespace tessel
