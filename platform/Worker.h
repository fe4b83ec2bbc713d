// A thread that runs tasks beside the caller for the whole process.
#pragma once

#include <functional>
#include <future>

// One task at a time, in the order given. The thread keeps its heap memory
// from one task to the next, so a task that allocates about what the one
// before it freed, such as reading a store again, takes no new memory; a
// thread of its own would get whichever memory pool another thread left.
class CWorker {
public:
    // The process's worker, started on first use and left running to its end.
    static CWorker& Get();

    // The future is ready when the task has run.
    std::future<void> Run(std::function<void()> task);

    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;

private:
    CWorker();
    ~CWorker() = default;
    struct CState;
    CState* m_pState;
};
