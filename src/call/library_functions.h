// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLibrary>

namespace ringwise {

// The functions of a library opened at run time: resolve(function, "name") points `function`
// at the symbol; false when the library or the symbol is missing.
class LibraryFunctions {
public:
    explicit LibraryFunctions(QLibrary &library) : m_library(library) {}

    template <typename Function>
    bool operator()(Function &function, const char *name) const {
        function = reinterpret_cast<Function>(m_library.resolve(name));
        return function != nullptr;
    }

private:
    QLibrary &m_library;
};

}  // namespace ringwise
