#pragma once
// The location window's "Enter": the typed or browsed folder becomes GameFolder for this run.

#include <string>

namespace UnrealMOD {

// Sets GameFolder to the text + "\" (always appended) and answers whether the game is there.
bool ConfirmGameFolder(const std::string& thePathText);

} // namespace UnrealMOD
