// The read-result view of a full 0x100000-byte frame memory read: from DoModal until the view
// is up with its listing, then until it has closed again.
#include "BenchUi.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "res/Templates.h"
#include "tools/ReadResultDlg.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace {

void BM_ReadResultOpen(benchmark::State &state)
{
    fw::test::Sinks sinks;
    std::vector<uint8_t> bytes(static_cast<size_t>(state.range(0)));
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 31);
    size_t listingChars = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        double openSeconds = 0;
        fw::test::WhenShown(137, [&](fw::Dialog &dlg) {
            openSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            listingChars = static_cast<size_t>(dlg.EditGetLength(1033));
            fw::test::Click(dlg, fw::IDOK);
        });
        CReadResultDlg view;
        view.m_dwOffset = 0;
        view.m_dwSize = static_cast<uint32_t>(bytes.size());
        view.m_nBank = 0;
        view.m_pData = bytes.data();
        view.DoModal();
        state.SetIterationTime(openSeconds);
    }
    state.counters["listing_chars"] = static_cast<double>(listingChars);
}

} // namespace

BENCHMARK(BM_ReadResultOpen)->Arg(0x100)->Arg(0x100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    return benchsupport::RunGoogleBenchmarks(argc, argv);
}
