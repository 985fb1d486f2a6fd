#include "KvTimer.h"

KvTimer::~KvTimer() = default;
