// What a stack call throws, as text the tests compare.
#pragma once

#include "KvException.h"

#include <string>

// The text of the stack exception the action throws, or whenNothing when it throws none.
template <class F>
std::string kvThrownText(F&& action, const char* whenNothing = "(nothing thrown)") {
    try {
        action();
    } catch (KvHandle<KvException>& e) {
        return e->getText();
    }
    return whenNothing;
}
