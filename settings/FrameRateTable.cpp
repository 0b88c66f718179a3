// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/FrameRateTable.h"

#include "model/NumberText.h"
#include "settings/OutputSettings.h"
#include "settings/ProfileStore.h"

namespace sonarel {

FrameRateChoice resolveFrameRate(const ProfileStore& profile)
{
    FrameRateChoice choice;
    const std::int32_t index = profile.ReadInt(profile::kSettings, profile::kOutputFrameRateIndex, 0);
    if (index >= 0 && index < kCustomFrameRateIndex) {
        choice.index = index;
        choice.rate = FrameRateTable[static_cast<std::size_t>(index)].rate;
    } else if (index == kCustomFrameRateIndex) {
        choice.index = index;
        choice.rate = readLeadingNumber(profile.ReadString(profile::kSettings, profile::kOutputFrameRate,
                                                           QStringLiteral("23.976")))
                          .value_or(0.0);
    }
    return choice;
}

}  // namespace sonarel
