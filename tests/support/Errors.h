#pragma once
// The run-time error a statement fails with.

#include <functional>

#include "app/platform/RuntimeError.h"

namespace talvane::test {

// The number of the run-time error `statement` fails with; 0 when it does not fail.
inline int ErrorNumberOf(const std::function<void()>& statement) {
    try {
        statement();
    } catch (const RuntimeError& error) {
        return error.Number();
    }
    return 0;
}

}  // namespace talvane::test
