// The window list the device asks for: a fresh snapshot of a busy desktop, its keys encoded,
// and the message built and handed to the link.
#include <benchmark/benchmark.h>

#include "BenchDesktop.h"
#include "DiscardingLink.h"
#include "desktop/WindowRegistry.h"
#include "fakes/FakeAnsiCodePage.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeMainWindow.h"
#include "protocol/ModalNesting.h"

namespace {

// (c) Refresh plus list encoding, as code 656 does it.
void BM_WindowList(benchmark::State& state) {
    BenchDesktop desktop;
    FakeAnsiCodePage codePage;
    FakeClock clock;
    FakeMainWindow mainWindow;
    DiscardingLink link;
    CModalNesting modals;
    CWindowRegistry registry(desktop, codePage, clock, mainWindow, link, modals);
    for (auto _ : state) registry.SendWindowList(false);
    const size_t listed = registry.Windows().size();
    if (link.messages != static_cast<size_t>(state.iterations()) || listed < 100)
        state.SkipWithError("the list was not sent whole");
    state.counters["windows"] = static_cast<double>(listed);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(link.bytes));
}
BENCHMARK(BM_WindowList);

}  // namespace
