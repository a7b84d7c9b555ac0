// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a function when the scope that holds it is left, exceptions included.
#pragma once

#include <utility>

template <typename F>
class CScopeExit {
public:
    explicit CScopeExit(F f) : m_f(std::move(f)) {}
    ~CScopeExit() { m_f(); }
    CScopeExit(const CScopeExit&) = delete;
    CScopeExit& operator=(const CScopeExit&) = delete;

private:
    F m_f;
};
