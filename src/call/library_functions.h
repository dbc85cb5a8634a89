#pragma once

#include <QLibrary>

namespace ringwise {

// Points `function` at the symbol `name` of a library opened at run time; false when the
// library or the symbol is missing.
template <typename Function>
bool resolveFunction(QLibrary &library, Function &function, const char *name) {
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

}  // namespace ringwise
