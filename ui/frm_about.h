// The About box: product name, version, description, and a button that starts a system-information tool.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

namespace tessarin {

class frmAbout : public QDialog {
    Q_OBJECT
  public:
    // Modeless; deletes itself when closed.
    explicit frmAbout(QWidget* parent = nullptr);

    // "ﾊﾞｰｼﾞｮﾝ " + major.minor.patch of the program, the version that `tessarin --version` prints.
    static QString VersionText();
    // Product name + "のﾊﾞｰｼﾞｮﾝ情報".
    static QString Caption();
};

// Starts the system-information tool, or tells the operator that there is none. Errors starting a tool
// that was found are ignored.
void StartSysInfo(QWidget* parent = nullptr);

// The system-information tool to start: its full path, or "" when none is available.
QString FindSysInfoTool();

// System-information programs looked for in PATH, best first (Linux and other non-Windows systems).
QStringList SysInfoToolNames();

#ifdef Q_OS_WIN
// One registry value as text: true and the value, or false and "" when the key or value cannot be read.
bool ReadRegValue(void* rootKey, const QString& keyPath, const QString& valueName, QString& value);
#endif

}  // namespace tessarin
