// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

namespace ringwise {

// What the core asks a front end to show: a message box on the desktop,
// a "title: text" line on standard error headless.
enum class MessageIcon { Information, Warning, Critical };

using MessageSink =
    std::function<void(MessageIcon icon, const QString &title, const QString &text)>;

}  // namespace ringwise
