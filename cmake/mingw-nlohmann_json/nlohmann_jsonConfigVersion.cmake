# SPDX-License-Identifier: GPL-3.0-or-later
# The version is the host copy's, whose headers nlohmann_jsonConfig.cmake uses.
include(/usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake)
