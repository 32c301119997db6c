#pragma once
// An active object: it issues an asynchronous request, is marked active, and when the request
// completes whoever sees the completion calls CActiveScheduler::notify(); the scheduler then calls
// run() on the GUI thread, one object at a time, in the order of completion.
#include <atomic>
#include <cstdint>

class CActiveScheduler;

class CActive {
public:
    CActive();
    CActive(const CActive&) = delete;
    CActive& operator=(const CActive&) = delete;
    // Destroying an object whose request is still outstanding is a fatal error.
    virtual ~CActive();

    // Marks the request outstanding.
    void set_active();
    // Makes the outstanding request complete (do_cancel) and removes it without calling run().
    // Does nothing for an idle object. GUI thread only.
    void cancel();

    bool is_active() const { return m_active.load(std::memory_order_acquire); }
    int32_t id() const { return m_id; }

protected:
    // The request has completed; called on the GUI thread.
    virtual void run() = 0;
    // Make the asynchronous side complete the outstanding request soon.
    virtual void do_cancel() = 0;

private:
    friend class CActiveScheduler;

    // Set from set_active until the scheduler takes the object to run it or a cancel completes.
    // Read by notify on other threads, hence atomic.
    std::atomic<bool> m_active{false};
    int32_t m_id;
};
