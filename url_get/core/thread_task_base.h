#pragma once

#include "url_get/core/stop_signal.h"

#include <pthread.h>

// The base of an object that owns exactly one worker thread running its own Run(). Order of
// use: construct, Init(), Start(). A derived class whose thread may still be running must call
// RequestStop() and Join() in its own destructor, before its members go away.
class CThreadTaskBase {
public:
    CThreadTaskBase();
    virtual ~CThreadTaskBase();

    CThreadTaskBase(const CThreadTaskBase&) = delete;
    CThreadTaskBase& operator=(const CThreadTaskBase&) = delete;

    // Work that must happen before the thread starts; 0 on success.
    virtual int Init();
    // Starts the thread, which runs Run() at once. 0 on success; -1 when no thread could be
    // created or this task's thread was already started.
    virtual int Start();
    // The body of the worker thread; its result is the thread's exit value.
    virtual unsigned int Run() = 0;

    // Asks the thread to stop: Run() sees it through StopRequested() and WaitForStop(). Safe
    // from any thread, any number of times.
    void RequestStop();
    // Waits for the thread to end and returns Run()'s result; 0 when no thread is running.
    unsigned int Join();
    // Ends the thread's current or next WaitForStop early (new work has come). Any thread.
    void Wake() { m_stop.Nudge(); }

    static void* ThreadProc(void* arg);

protected:
    bool StopRequested();
    // Sleeps up to `milliseconds`, ending early on a stop request; true when stopping.
    bool WaitForStop(int milliseconds);
    // Called by RequestStop() on the requesting thread, so a derived class can cut short work
    // that does not look at the stop request (a blocking transfer, for example).
    virtual void OnStopRequested() {}

    pthread_t m_hThread = 0; // 0 until Start() succeeds, and again after Join()

private:
    CStopSignal m_stop;
};
