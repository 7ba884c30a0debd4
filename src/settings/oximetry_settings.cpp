#include "settings/oximetry_settings.h"

#include "analysis/text_table.h"

#include <charconv>

namespace tesmora {
namespace {

constexpr std::string_view kSection = "Oximetry";

// The key's number when all of its text is one that the settings accept.
void ReadNumber(const IniFile& ini, std::string_view key, double& into,
                const DesaturationSettings& check, double DesaturationSettings::*field) {
    const std::optional<std::string> text = ini.ReadString(kSection, key);
    if (!text) return;
    double v = 0;
    const auto r = std::from_chars(text->data(), text->data() + text->size(), v);
    if (r.ec != std::errc() || r.ptr != text->data() + text->size()) return;
    DesaturationSettings trial = check;
    trial.*field = v;
    if (!SettingsProblem(trial)) into = v;
}

} // namespace

OximetryChoice ReadOximetryChoice(const IniFile& ini) {
    OximetryChoice c;
    DesaturationSettings& s = c.settings;
    c.visible = ini.ReadBool(kSection, "Visible", false);
    if (ini.ReadString(kSection, "Mode") == "Relative")
        s.mode = DesaturationSettings::Mode::Relative;
    c.baselineFromMarkers = ini.ReadString(kSection, "Baseline") == "Markers";
    const DesaturationSettings defaults;
    ReadNumber(ini, "Threshold", s.threshold, defaults, &DesaturationSettings::threshold);
    ReadNumber(ini, "Drop", s.drop, defaults, &DesaturationSettings::drop);
    ReadNumber(ini, "BaselineMinutes", s.baselineMinutes, defaults,
               &DesaturationSettings::baselineMinutes);
    ReadNumber(ini, "MinEpisode", s.minEpisode, defaults, &DesaturationSettings::minEpisode);
    ReadNumber(ini, "MergeGap", s.mergeGap, defaults, &DesaturationSettings::mergeGap);
    return c;
}

void WriteOximetryChoice(IniFile& ini, const OximetryChoice& c) {
    const DesaturationSettings& s = c.settings;
    ini.WriteBool(kSection, "Visible", c.visible);
    ini.WriteString(kSection, "Mode",
                    s.mode == DesaturationSettings::Mode::Relative ? "Relative" : "Absolute");
    ini.WriteString(kSection, "Threshold", ShortestNumber(s.threshold));
    ini.WriteString(kSection, "Drop", ShortestNumber(s.drop));
    ini.WriteString(kSection, "Baseline", c.baselineFromMarkers ? "Markers" : "Minutes");
    ini.WriteString(kSection, "BaselineMinutes", ShortestNumber(s.baselineMinutes));
    ini.WriteString(kSection, "MinEpisode", ShortestNumber(s.minEpisode));
    ini.WriteString(kSection, "MergeGap", ShortestNumber(s.mergeGap));
}

} // namespace tesmora
