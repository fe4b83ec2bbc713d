#include "platform/Worker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct CWorker::CState {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::packaged_task<void()>> tasks;
    std::thread thread;
};

CWorker& CWorker::Get() {
    // Never destroyed: arrays freed while the process ends may still use it.
    static CWorker* s_pWorker = new CWorker;
    return *s_pWorker;
}

CWorker::CWorker() : m_pState(new CState) {
    CState& state = *m_pState;
    state.thread = std::thread([&state] {
        std::unique_lock<std::mutex> lock(state.mutex);
        for (;;) {
            state.changed.wait(lock, [&state] { return !state.tasks.empty(); });
            std::packaged_task<void()> task = std::move(state.tasks.front());
            state.tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    });
}

CWorkerJob CWorker::Run(std::function<void()> task) {
    std::packaged_task<void()> packaged(std::move(task));
    std::future<void> done = packaged.get_future();
    {
        std::lock_guard<std::mutex> lock(m_pState->mutex);
        m_pState->tasks.push_back(std::move(packaged));
    }
    m_pState->changed.notify_all();
    return CWorkerJob(std::move(done));
}
