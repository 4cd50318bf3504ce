// Pictures of the diagnosis window and the link panel's tooltip, one pair per reason, saved into `folder`.
// False when a picture could not be saved or a reason never showed.
#pragma once

#include <QString>

namespace tessarin {

bool ShootLinkDiagnosis(const QString& folder);

}  // namespace tessarin
