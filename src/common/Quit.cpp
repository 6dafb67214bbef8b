#include "common/Quit.h"

#include <QCoreApplication>
#include <atomic>

namespace velor {

namespace {

// The request belongs to the process, as the signals that make it do: one flag for all.
std::atomic<bool> g_quit{false};
std::atomic<void (*)()> g_observer{nullptr};

} // namespace

bool quitRequested() { return g_quit.load(std::memory_order_acquire); }

void requestQuit()
{
    g_quit.store(true, std::memory_order_release);
    // Ends every running loop (modal boxes and page waits among them) and makes new ones return
    // at once; the main loop then returns as soon as the command on the stack unwinds.
    if (QCoreApplication::instance()) QCoreApplication::exit(0);
    if (auto *observer = g_observer.load()) observer();
}

void setQuitObserver(void (*observer)()) { g_observer.store(observer); }

void clearQuitRequest() { g_quit.store(false, std::memory_order_release); }

} // namespace velor
