// What the start-up dialog owns from its initialisation to the board's close, and the tools
// share: the open board, the scan event, the memory areas and the last DSP program chosen. The
// start-up dialog hands it to the main menu, and the main menu to each tool that needs it.
// UI thread only.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Event.h"

#include <cstdint>
#include <memory>
#include <string>

namespace session {

class BoardSession {
public:
    static constexpr int kAreaCount = 7;

    BoardHandle m_hBoard = 0;                         // the open board, 0 while none
    std::unique_ptr<fw::AutoResetEvent> m_hScanEvent; // handed to the scan tool
    std::string m_strDspFilePath;                     // last DSP program chosen with browse
    void *m_pAreaBase[kAreaCount] = {};               // memory area bases from BoardOpen
    std::uint32_t m_dwAreaOffset[kAreaCount] = {};    // byte offset of each area from its base

    // Start of memory area i in the program's address space (nullptr while not open).
    std::uint8_t *AreaStart(int i) const
    {
        if (i < 0 || i >= kAreaCount || !m_pAreaBase[i])
            return nullptr;
        return static_cast<std::uint8_t *>(m_pAreaBase[i]) + m_dwAreaOffset[i];
    }
};

} // namespace session
