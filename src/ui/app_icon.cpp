// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/app_icon.h"

#include <QPixmap>

#include "notify/app_icon_image.h"

namespace ringwise {

QIcon appIcon() {
    QIcon icon;
    for (const int size : {16, 32, 64})
        icon.addPixmap(QPixmap::fromImage(drawAppIcon(size)));
    return icon;
}

}  // namespace ringwise
