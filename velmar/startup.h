#pragma once
// Velmar's start-up: title and credits, the option file, the explanation.

#include "engine/settings.h"
#include "records/records.h"

namespace interactive {

// The option file in the working folder.
inline constexpr const char* optionFileName = "Velmar.opt";

void writeTitle(records::Console& con);

// Loads the settings block from the option file, or takes the defaults and
// writes the file with their description when it is missing. An option file
// that exists but cannot be opened is a FatalError.
engine::Settings loadOptionFile(records::Console& con);

// Asks whether the user wants an explanation and gives it.
void offerExplanation(records::Console& con);

} // namespace interactive
