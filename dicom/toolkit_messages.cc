#include "dicom/toolkit_messages.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/oflog/oflog.h"
#include "dcmtk/oflog/spi/logevent.h"

namespace log4cplus = dcmtk::log4cplus;

namespace {

// Where the messages of the calling thread go.
thread_local std::vector<ToolkitMessages::Message>* sink = nullptr;

// Stands in for the console that DCMTK's logger writes to.
class Collector : public log4cplus::Appender {
 public:
  ~Collector() override { destructorImpl(); }
  void close() override {}

 protected:
  // Called for each message, on the thread that logs it.
  void append(const log4cplus::spi::InternalLoggingEvent& event) override {
    const log4cplus::LogLevel level = event.getLogLevel();
    const std::string text(event.getMessage().c_str(),
                           event.getMessage().length());
    if (level >= log4cplus::WARN_LOG_LEVEL && sink) {
      sink->push_back({level >= log4cplus::ERROR_LOG_LEVEL, text});
      return;
    }
    const char prefix = level >= log4cplus::FATAL_LOG_LEVEL   ? 'F'
                        : level >= log4cplus::ERROR_LOG_LEVEL ? 'E'
                        : level >= log4cplus::WARN_LOG_LEVEL  ? 'W'
                        : level >= log4cplus::INFO_LOG_LEVEL  ? 'I'
                                                              : 'D';
    std::fprintf(stderr, "%c: %s\n", prefix, text.c_str());
  }
};

void Install() {
  static std::once_flag once;
  std::call_once(once, [] {
    // DCMTK sets up its console the first time a logger is asked for.
    OFLog::getLogger("dcmtk.dcmdata");
    log4cplus::Logger root = log4cplus::Logger::getRoot();
    root.removeAllAppenders();
    root.addAppender(log4cplus::SharedAppenderPtr(new Collector));
  });
}

}  // namespace

ToolkitMessages::ToolkitMessages() : outer_(sink) {
  Install();
  sink = &messages_;
}

ToolkitMessages::~ToolkitMessages() { sink = outer_; }

std::vector<ToolkitMessages::Message> ToolkitMessages::Take() {
  std::vector<Message> taken;
  taken.swap(messages_);
  return taken;
}
