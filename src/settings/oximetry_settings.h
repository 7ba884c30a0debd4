#pragma once
// The Oximetry panel's choices, kept in the settings file in a section of their own
// ("[Oximetry]": Visible, Mode, Threshold, Drop, Baseline, BaselineMinutes, MinEpisode,
// MergeGap).

#include "analysis/desaturation.h"
#include "settings/ini_file.h"

namespace tesmora {

struct OximetryChoice {
    DesaturationSettings settings; // without baseline samples: the window sets them
    bool baselineFromMarkers = false;
    bool visible = false;
    bool operator==(const OximetryChoice&) const = default;
};

/// The choices the file holds; a key that is missing or holds no usable value (not a
/// number, out of its range) takes its default.
OximetryChoice ReadOximetryChoice(const IniFile& ini);
/// Writes the section in place, numbers in their shortest form.
void WriteOximetryChoice(IniFile& ini, const OximetryChoice& choice);

} // namespace tesmora
