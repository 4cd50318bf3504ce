#include "link/link_doctor.h"

#include "link/link_diagnosis_system.h"
#include "link/unit_link.h"

namespace tessarin {

namespace {

bool SameHolders(const std::vector<PortHolder>& a, const std::vector<PortHolder>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].pid != b[i].pid || a[i].name != b[i].name) {
            return false;
        }
    }
    return true;
}

bool SameSeen(const LinkObservations& a, const LinkObservations& b) {
    return a.listed == b.listed && a.portName == b.portName && a.devicePath == b.devicePath && a.linkUp == b.linkUp &&
           a.openFailure == b.openFailure && a.deviceGroup == b.deviceGroup && a.deviceGid == b.deviceGid &&
           a.groupMayOpen == b.groupMayOpen && a.userName == b.userName && a.processGroups == b.processGroups &&
           a.databaseGroups == b.databaseGroups && SameHolders(a.holders, b.holders) &&
           a.unansweredPolls == b.unansweredPolls && a.unansweredSinceMs == b.unansweredSinceMs &&
           a.badFramesSinceValid == b.badFramesSinceValid && a.answered == b.answered;
}

}  // namespace

bool LinkDoctor::Refresh(const UnitLink& link, std::int64_t nowMs) {
    LinkObservations seen = link.Observations();
    LinkDiagnosis diagnosis = DiagnoseLink(seen);
    if (diagnosis.reason == LinkReason::PermissionDenied) {
        ObservePermissions(seen);
        diagnosis = DiagnoseLink(seen);
    } else if (diagnosis.reason == LinkReason::InUse) {
        if (m_holdersScannedMs < 0 || nowMs - m_holdersScannedMs >= 1000) {
            m_holders = FindPortHolders(seen.devicePath);
            m_holdersScannedMs = nowMs;
        }
        seen.holders = m_holders;
    }
    if (diagnosis.reason != LinkReason::InUse) {
        m_holdersScannedMs = -1;
        m_holders.clear();
    }
    const bool changed = diagnosis.reason != m_diagnosis.reason ||
                         diagnosis.groupAddedSinceLogin != m_diagnosis.groupAddedSinceLogin ||
                         diagnosis.fixCommand != m_diagnosis.fixCommand || !SameSeen(seen, m_seen);
    m_diagnosis = std::move(diagnosis);
    m_seen = std::move(seen);
    return changed;
}

}  // namespace tessarin
