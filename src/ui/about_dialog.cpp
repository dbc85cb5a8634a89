// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/about_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/version.h"

namespace ringwise {

namespace {

constexpr int kWidth = 360;

}  // namespace

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(kProductName + QStringLiteral(" [About]"));

    auto *title = new QLabel(kProductName + QLatin1Char(' ') + versionText);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    title->setFont(titleFont);
    auto *text = new QLabel(QStringLiteral(
        "A caller-ID server for one telephone line. It reads the caller-ID device on a serial "
        "port, keeps every call and contact in its database, names unknown callers from the "
        "online directory and announces each call to the client programs connected over "
        "TCP/IP."));
    text->setWordWrap(true);
    auto *licence =
        new QLabel(QStringLiteral("Free software under the GNU General Public License, version 3 "
                                  "or later (%1), without any warranty.")
                       .arg(kLicenceName));
    licence->setObjectName(QStringLiteral("lblLicence"));
    licence->setWordWrap(true);

    auto *panel = new QGroupBox(QStringLiteral("About"));
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(title);
    panelLayout->addWidget(text);
    panelLayout->addWidget(licence);

    auto *ok = new QPushButton(QStringLiteral("Ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(ok);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(buttonRow);
    // The wrapped text decides the height at this width.
    setFixedSize(kWidth, heightForWidth(kWidth));
}

}  // namespace ringwise
