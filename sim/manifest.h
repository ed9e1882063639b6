// The simulator's JSON record of what the handset received (format in its --help).
#pragma once

#include <string>

#include "sim/handset_model.h"

std::string ManifestJson(const HandsetModel& handset, bool reset);
bool WriteManifest(const std::string& path, const HandsetModel& handset, bool reset);
