#include "settings/StatusDisplay.h"

namespace {

constexpr size_t kTipLimit = 127;

}  // namespace

StatusRow StatusFor(bool serverOn, bool deviceConnected, ListenFailure failure) {
    if (!serverOn && failure == ListenFailure::PortInUse)
        return {"Turn Server On", "Port in use", kIconOff, "Port in use", false};
    if (!serverOn && failure == ListenFailure::Other)
        return {"Turn Server On", "Can't listen", kIconOff, "Can't listen", false};
    if (!serverOn) return {"Turn Server On", "Off", kIconOff, "Off", false};
    if (!deviceConnected) return {"Turn Server Off", "On", kIconListening, "Listening", false};
    return {"Turn Server Off", "Connected", kIconConnected, "Connected", true};
}

std::string TrayTip(const std::string& stateWord) {
    std::string tip = "Windows Tavrix - " + stateWord;
    if (tip.size() > kTipLimit) tip.resize(kTipLimit);
    return tip;
}
