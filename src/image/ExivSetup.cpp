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

}  // namespace

void PrepareExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(LockXmp, nullptr);
        try {
            Exiv2::XmpProperties::registerNs(kPanoramaXmpNamespace, kPanoramaXmpPrefix);
        } catch (const Exiv2::AnyError&) {
            // Known already under that prefix.
        }
    });
}
