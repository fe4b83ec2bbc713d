// Benchmarks of the owner-drawn list at 100,000 rows of five columns with
// texts from a callback: insert, delete all, sort by name, paint one screen,
// scroll by a page. Needs a display (run under xvfb-run).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "bench/WxBench.h"
#include "view/ListCtrlEx.h"

namespace {

constexpr int kRows = 100000;

struct CRecord {
    std::string strName;
    std::string strFolder;
    std::string strURL;
    std::string strDate;
    std::string strBrowser;
};

std::vector<CRecord> g_records;
wxFrame* g_pFrame = nullptr;
CListCtrlEx* g_pList = nullptr;

void MakeRecords() {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> letter('a', 'z');
    g_records.resize(kRows);
    for (int i = 0; i < kRows; ++i) {
        CRecord& record = g_records[static_cast<std::size_t>(i)];
        for (int k = 0; k < 24; ++k) {
            record.strName += static_cast<char>(letter(random));
        }
        record.strFolder = "Folder " + std::to_string(i % 97);
        record.strURL = "https://example.com/" + record.strName;
        record.strDate = "2024-01-" + std::to_string(10 + i % 20) + " 12:00";
        record.strBrowser = i % 3 == 0 ? "IE" : i % 3 == 1 ? "NS" : "**";
    }
}

std::string RecordText(std::intptr_t lParam, int nCol) {
    const CRecord& record = g_records[static_cast<std::size_t>(lParam)];
    switch (nCol) {
        case 0:
            return record.strName;
        case 1:
            return record.strFolder;
        case 2:
            return record.strURL;
        case 3:
            return record.strDate;
        default:
            return record.strBrowser;
    }
}

// Bytes in use on the heap, large blocks (mapped apart) included.
std::size_t HeapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void Fill() {
    g_pList->BeginUpdate();
    for (int i = 0; i < kRows; ++i) {
        g_pList->InsertItem(i, i);
    }
    g_pList->EndUpdate();
}

void BM_InsertRows(benchmark::State& state) {
    // Only the first fill allocates the rows (later ones reuse that storage),
    // and the benchmark calls this function more than once.
    static std::size_t s_nBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        g_pList->DeleteAllItems();
        const std::size_t nBefore = HeapBytes();
        state.ResumeTiming();
        Fill();
        state.PauseTiming();
        s_nBytes = std::max(s_nBytes, HeapBytes() - nBefore);
        state.ResumeTiming();
    }
    state.counters["rowMemoryMB"] = static_cast<double>(s_nBytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_InsertRows)->Unit(benchmark::kMillisecond);

void BM_DeleteAll(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Fill();
        state.ResumeTiming();
        g_pList->DeleteAllItems();
    }
}
BENCHMARK(BM_DeleteAll)->Unit(benchmark::kMillisecond);

int CompareNames(std::intptr_t a, std::intptr_t b, std::intptr_t) {
    return g_records[static_cast<std::size_t>(a)].strName.compare(
        g_records[static_cast<std::size_t>(b)].strName);
}

int CompareIndexes(std::intptr_t a, std::intptr_t b, std::intptr_t) {
    return a < b ? -1 : a > b ? 1 : 0;
}

void BM_SortByName(benchmark::State& state) {
    g_pList->DeleteAllItems();
    Fill();
    for (auto _ : state) {
        state.PauseTiming();
        g_pList->SortItems(CompareIndexes, 0);
        state.ResumeTiming();
        g_pList->SortItems(CompareNames, 0);
    }
}
BENCHMARK(BM_SortByName)->Unit(benchmark::kMillisecond);

void BM_PaintScreen(benchmark::State& state) {
    g_pList->DeleteAllItems();
    Fill();
    g_pList->SetItemState(5, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    const wxSize size = g_pList->GetBody()->GetClientSize();
    wxBitmap bitmap(size);
    wxMemoryDC dc(bitmap);
    for (auto _ : state) {
        g_pList->PaintRows(dc, wxRect(size));
    }
    state.counters["rows"] = g_pList->GetCountPerPage();
}
BENCHMARK(BM_PaintScreen)->Unit(benchmark::kMillisecond);

// A page down through the scroll bar and the repaint of the screen it shows.
void BM_ScrollPage(benchmark::State& state) {
    g_pList->DeleteAllItems();
    Fill();
    const wxSize size = g_pList->GetBody()->GetClientSize();
    wxBitmap bitmap(size);
    wxMemoryDC dc(bitmap);
    for (auto _ : state) {
        if (g_pList->GetTopItem() + 2 * g_pList->GetCountPerPage() >= kRows) {
            state.PauseTiming();
            g_pList->EnsureVisible(0);
            state.ResumeTiming();
        }
        wxScrollWinEvent page(wxEVT_SCROLLWIN_PAGEDOWN, 0, wxVERTICAL);
        g_pList->GetBody()->GetEventHandler()->ProcessEvent(page);
        g_pList->PaintRows(dc, wxRect(size));
    }
}
BENCHMARK(BM_ScrollPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CWxBench app(argc, argv);
    if (!app.IsOk()) {
        return 1;
    }
    MakeRecords();
    g_pFrame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(1000, 800));
    g_pList = new CListCtrlEx(g_pFrame, wxID_ANY, wxPoint(0, 0), wxSize(1000, 760));
    g_pList->SetFullRowSel(true);
    const char* const titles[] = {"Name", "Folder", "URL", "Date", "B"};
    const int widths[] = {250, 150, 350, 130, 40};
    for (int i = 0; i < 5; ++i) {
        g_pList->InsertColumn(i, titles[i], widths[i]);
    }
    g_pList->SetTextCallback(RecordText);
    g_pFrame->Show();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_pFrame->Destroy();
    return 0;
}
