// SPDX-License-Identifier: GPL-3.0-or-later
// The end of an input bit stream: thrown by CBitStream's bit reads; caught by the frame loop,
// and by CBitStream's own block reads, which report how much they delivered instead.
#pragma once

#include <exception>

class EOFBSException : public std::exception {
public:
    const char* what() const noexcept override { return "end of the input bit stream"; }
};
