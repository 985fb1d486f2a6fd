// The thread object that stands for the thread which made the first stack thread object (the main
// thread). There is exactly one; it is never started as a thread of its own and never deleted.
#pragma once

#include "KvThread.h"

class KvProcess : public KvThread {
public:
    KvProcess();
    ~KvProcess() override;

    void run() override;

    // The process object; the first call makes it, once, whichever threads ask at the same time.
    static KvProcess* instance();
    // The process object when it has been made, else null (it makes nothing).
    static KvProcess* peekInstance();
};
