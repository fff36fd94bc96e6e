#include "image/ExivSetup.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace {

std::mutex xmpToolkit;

void LockXmp(void*, bool lock) {
    if (lock)
        xmpToolkit.lock();
    else
        xmpToolkit.unlock();
}

thread_local ExivMessages* listening = nullptr;

// Exiv2 reports what it finds wrong with a file through this one handler, from whichever thread
// reads; the thread's listener keeps the first error, and nothing reaches stderr.
void Collect(int level, const char* message) {
    if (listening && level >= Exiv2::LogMsg::warn)
        listening->Heard(message);
}

}  // namespace

void PrepareExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
        Exiv2::LogMsg::setHandler(Collect);
        Exiv2::XmpParser::initialize(LockXmp, nullptr);
        try {
            Exiv2::XmpProperties::registerNs(kPanoramaXmpNamespace, kPanoramaXmpPrefix);
        } catch (const Exiv2::AnyError&) {
            // Known already under that prefix.
        }
    });
}

ExivMessages::ExivMessages() : previous(listening) { listening = this; }

ExivMessages::~ExivMessages() { listening = previous; }

void ExivMessages::Heard(const char* message) {
    if (!first.empty() || !message)
        return;
    first = message;
    while (!first.empty() && (first.back() == '\n' || first.back() == ' ' || first.back() == '.'))
        first.pop_back();
}
