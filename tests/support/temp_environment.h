// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace ringwise::test {

// Points XDG_CONFIG_HOME and XDG_DATA_HOME into a fresh temporary folder for the
// lifetime of the object, so no test touches the user's settings or database.
class TempEnvironment {
public:
    TempEnvironment();
    ~TempEnvironment();

    QString root() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    QString settingsPath() const {
        return configHome() + QStringLiteral("/Ringwise/Ringwise.conf");
    }
    QString databasePath() const { return dataHome() + QStringLiteral("/Ringwise/Ringwise.db"); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldConfig;
    QByteArray m_oldData;
};

}  // namespace ringwise::test
