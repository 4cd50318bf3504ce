// The visit report: one A4 PDF of the unit as it was left (the link, the current values and settings, the
// logs collected in this session), laid out by code section by section and written like every other file.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>

#include "data/collected_logs.h"
#include "data/device_data.h"
#include "data/safe_write.h"

class QWidget;

namespace tessarin {

// What the report tells, taken at one moment.
struct VisitReportFacts {
    QDateTime createdAt;
    QString port;     // such as "COM5（\Device\VCP0）", "" when no port was found
    QString version;  // the program's name and version
    bool online = false;
    bool valuesReceived = false;  // current values have come at least once
    NowValueRecord now;
    const CollectedLogs* logs = nullptr;  // nullptr reads as no log collected
};

// The facts of the program now: the link and values in `data`, the logs in `logs` (which must outlive them).
VisitReportFacts GatherVisitReportFacts(const DeviceData& data, const CollectedLogs& logs, const QDateTime& now);

// The report as PDF bytes; empty when it could not be laid out.
QByteArray RenderVisitReport(const VisitReportFacts& facts);

// Renders the report and writes it to `fileName` through the safe-write routine.
SafeWriteStatus WriteVisitReport(const QString& fileName, const VisitReportFacts& facts,
                                 ReadOnlyTarget readOnly = ReadOnlyTarget::Refuse);

// The proposed file name: the date and time of `now`, such as 20240115_093000.pdf.
QString ProposedVisitReportName(const QDateTime& now);

// The notice text of a report that could not be written.
QString VisitReportErrorText(const QString& fileName, SafeWriteStatus status);

// What the report command asks of its surroundings; the defaults show real dialogs and read the clock.
struct VisitReportDialogs {
    std::function<QString(const QString& proposedName)> chooseFile;  // "" when cancelled
    std::function<void(const QString& title, const QString& text)> notice;
    std::function<QDateTime()> now;
    // Whether the read-only file of that name may be replaced (none: it is not, and the notice says why).
    std::function<bool(const QString& fileName)> replaceReadOnly{};
};
VisitReportDialogs DefaultVisitReportDialogs(QWidget* parent);

// The report command: asks for a file name, writes the report there (a read-only file only once the user
// agrees), and says so when that failed.
void MakeVisitReport(const VisitReportDialogs& dialogs, const DeviceData& data, const CollectedLogs& logs);

}  // namespace tessarin
