#include "link/link_diagnosis_tracker.h"

#include "link/link_diagnosis_system.h"
#include "link/unit_link.h"

namespace tessarin {

bool LinkDiagnosisTracker::Refresh(const UnitLink& link, std::int64_t nowMs) {
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
    const bool changed = diagnosis != m_diagnosis || seen != m_seen;
    m_diagnosis = std::move(diagnosis);
    m_seen = std::move(seen);
    return changed;
}

}  // namespace tessarin
