// Works out why the link is what it is, from what the link saw and what the system tells: the window asks
// it again when the link reports a change, and once a second while the link is down. The system is asked
// only while the port is refused: its permissions while refused for them, and the processes holding it
// (a scan of /proc) at most once a second while it is refused as busy. Never while ON LINE.
#pragma once

#include <cstdint>
#include <vector>

#include "link/link_diagnosis.h"

namespace tessarin {

class UnitLink;

class LinkDiagnosisTracker {
  public:
    // Works the reason out afresh at `nowMs` (the link monitor's clock); true when it or its details changed.
    bool Refresh(const UnitLink& link, std::int64_t nowMs);

    [[nodiscard]] const LinkDiagnosis& Diagnosis() const { return m_diagnosis; }
    [[nodiscard]] const LinkObservations& Seen() const { return m_seen; }

  private:
    LinkDiagnosis m_diagnosis;
    LinkObservations m_seen;
    std::int64_t m_holdersScannedMs = -1;
    std::vector<PortHolder> m_holders;
};

}  // namespace tessarin
