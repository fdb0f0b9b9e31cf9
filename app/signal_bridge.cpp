#include "app/signal_bridge.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace tavro {

namespace {

int pipeEnds[2] = {-1, -1};

extern "C" void onSignal(int number) {
  const unsigned char byte = static_cast<unsigned char>(number);
  // Only async-signal-safe calls here: the loop reads the byte later.
  [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
}

}  // namespace

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {
  if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    unsigned char byte;
    while (::read(pipeEnds[0], &byte, 1) == 1) {
    }
    emit endRequested();
  });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(number, &action, nullptr);
}

SignalBridge::~SignalBridge() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  for (int number : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(number, &action, nullptr);
}

}  // namespace tavro
