// A thread that runs tasks beside the caller for the whole process.
#pragma once

#include <functional>
#include <future>

// A task given to the worker. Destroyed before it has run, it waits for it,
// as the task may use what the caller holds.
class CWorkerJob {
public:
    explicit CWorkerJob(std::future<void> done) : m_done(std::move(done)) {}
    CWorkerJob(CWorkerJob&&) = default;
    CWorkerJob& operator=(CWorkerJob&&) = delete;
    ~CWorkerJob() {
        if (m_done.valid()) {
            m_done.wait();
        }
    }
    // Waits until the task has run, and passes on what it threw.
    void Wait() { m_done.get(); }

private:
    std::future<void> m_done;
};

// One task at a time, in the order given. The thread keeps its heap memory
// from one task to the next, so a task that allocates about what the one
// before it freed, such as reading a store again, takes no new memory; a
// thread of its own would get whichever memory pool another thread left.
class CWorker {
public:
    // The process's worker, started on first use and left running to its end.
    static CWorker& Get();

    CWorkerJob Run(std::function<void()> task);
    // Runs there on the worker while here runs on this thread; returns when
    // both are done, and passes on what either threw.
    template <class FHere>
    static void RunBeside(std::function<void()> there, FHere here) {
        CWorkerJob job = Get().Run(std::move(there));
        here();
        job.Wait();
    }

    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;

private:
    CWorker();
    ~CWorker() = default;
    struct CState;
    CState* m_pState;
};
