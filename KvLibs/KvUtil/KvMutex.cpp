#include "KvMutex.h"

void KvMutex::lock() {
    // Locks are held for a few instructions: spinning briefly beats a sleep and a wake-up.
    for (int attempt = 0; attempt < 4000; ++attempt) {
        if (m_section.tryEnter())
            return;
    }
    m_section.enter();
}
