#include "services/consoleservices.h"

#include <utility>

namespace tessel {

ConsoleServices::ConsoleServices() : ConsoleServices(Options()) {}

ConsoleServices::ConsoleServices(Options options)
    : recorder(options.keepHistory ? std::make_unique<HistoryRecorder>(
                                         options.historyPath.isEmpty() ? HistoryRecorder::defaultFilePath()
                                                                       : options.historyPath)
                                   : nullptr),
      runner(recorder.get(), nullptr, options.memory)
{}

ConsoleServices::~ConsoleServices() = default;

} // namespace tessel
