#include "forms/MainFormLogic.h"

#include "runtime/Games.h"
#include "runtime/Globals.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace forms {

std::span<const CatalogueList> SelectionTargets(CatalogueList changed) {
    using enum CatalogueList;
    static constexpr std::array fromFileName{CacheNameList, DestinationList};
    static constexpr std::array fromCacheName{FileNameList, DestinationList, Copied};
    static constexpr std::array fromDestination{CacheNameList, FileNameList, Copied};
    static constexpr std::array fromCopied{FileNameList, DestinationList, CacheNameList};
    switch (changed) {
    case FileNameList:
        return fromFileName;
    case CacheNameList:
        return fromCacheName;
    case DestinationList:
        return fromDestination;
    case Copied:
        return fromCopied;
    }
    return {};
}

WholeProgress ToWholeProgress(float min, float max, float value) {
    const auto whole = [](float v) {
        if (!std::isfinite(v))
            return 0;
        const double clamped = std::clamp(double(v), -2147483647.0, 2147483647.0);
        return int(std::lround(clamped));
    };
    WholeProgress p;
    p.min = whole(min);
    p.max = std::max(p.min, whole(max));
    if (p.max == p.min) {
        // An empty range would make the bar a busy indicator: show it empty or full instead.
        return {0, 1, value >= max ? 1 : 0};
    }
    p.value = std::clamp(whole(value), p.min, p.max);
    return p;
}

std::optional<std::string> GameFolderArgument(const std::vector<std::string>& arguments) {
    if (arguments.size() != 2 || arguments[0] != ElevatedGameOption || arguments[1].empty())
        return std::nullopt;
    std::string folder = arguments[1];
    if (folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    return folder;
}

std::string LogoPath() {
    return UnrealMOD::GameFolder + UnrealMOD::CurrentGame().logo;
}

} // namespace forms
