// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The clock's busy flag: taken by one main-thread event and given back by another.

class BusyFlag {
public:
    // Takes the flag when it is free; never waits.
    bool tryLock()
    {
        if (m_held)
            return false;
        m_held = true;
        return true;
    }
    // Releasing a free flag is harmless; a sequence may end twice.
    void unlock() { m_held = false; }
    bool isHeld() const { return m_held; }

private:
    bool m_held = false;
};
