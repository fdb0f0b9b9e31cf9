#include "app/command_line.h"

#include <QCoreApplication>
#include <memory>
#include <string>
#include <vector>

#include "app/local_text.h"
#include "app/signal_bridge.h"
#include "app/single_instance.h"
#include "program/command_line.h"

namespace tavro {

namespace {

// The run's lock and its stop requests through Qt: the lock the window
// program takes too, and SIGTERM, SIGINT and SIGHUP by way of the event
// loop. Qt starts only when a run needs it.
class QtCommandLineHost final : public CommandLineHost {
 public:
  QtCommandLineHost(int& argc, char** argv) : argc_(argc), argv_(argv) {}

  Lock acquireInstance(const std::string& settingsFile, std::string* reason) override {
    start();
    instance_ = std::make_unique<SingleInstance>(localText(settingsFile));
    switch (instance_->acquire()) {
      case SingleInstance::Outcome::Acquired: return Lock::Acquired;
      case SingleInstance::Outcome::HeldElsewhere: return Lock::HeldElsewhere;
      case SingleInstance::Outcome::Unavailable: break;
    }
    *reason = localBytes(instance_->unavailableReason());
    return Lock::Unavailable;
  }

  bool stopRequested() override {
    start();
    QCoreApplication::processEvents();
    return stop_;
  }

 private:
  void start() {
    if (app_) return;
    app_ = std::make_unique<QCoreApplication>(argc_, argv_);
    bridge_ = std::make_unique<SignalBridge>();
    QObject::connect(bridge_.get(), &SignalBridge::endRequested, [this] { stop_ = true; });
  }

  int& argc_;
  char** argv_;
  std::unique_ptr<QCoreApplication> app_;
  std::unique_ptr<SignalBridge> bridge_;
  std::unique_ptr<SingleInstance> instance_;
  bool stop_ = false;
};

}  // namespace

std::optional<int> handleCommandLine(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  PosixFileSystem fs;
  QtCommandLineHost host(argc, argv);
  return handleCommandLine(arguments, fs, host);
}

}  // namespace tavro
