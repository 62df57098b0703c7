// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Collects what the renderer reports, for the tests to look at.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "display/qt/render.h"
#include "engine/messages.h"

struct RenderReports {
    std::vector<nerova::Message> codes;  ///< of the MessageErrors reported
    std::string texts;                   ///< every report's what(), one a line

    nerova::RenderReport sink() {
        return [this](const std::exception& e) {
            if (const auto* coded = dynamic_cast<const nerova::MessageError*>(&e)) codes.push_back(coded->code());
            (texts += e.what()) += '\n';
        };
    }
};
