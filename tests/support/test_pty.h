#pragma once
// A pseudo-terminal, opened as the box simulator opens its own, whose slave
// side a test links as a COMn port while the test holds the master side: the
// device end of the cable, silent or scripted by the test.

#include <cstdint>
#include <string>
#include <vector>

#include "boxsim/pty_pair.h"

class CTestPty {
public:
    // Leaves the object invalid (and nothing open) when no pseudo-terminal
    // can be had; LinkAs then fails, so the test stops at its first use.
    CTestPty();
    ~CTestPty();
    CTestPty(const CTestPty&) = delete;
    CTestPty& operator=(const CTestPty&) = delete;

    bool Valid() const { return m_pty.master >= 0; }
    const std::string& SlavePath() const { return m_pty.slavePath; }
    bool LinkAs(const std::string& linkPath) const;
    // Cable out: the port side sees a hang-up.
    void CloseMaster();

    void Send(const std::vector<std::uint8_t>& bytes) const;
    // Whatever the port side wrote, collected until `n` bytes came or the
    // line stayed quiet for quietMs.
    std::vector<std::uint8_t> Receive(std::size_t n, int quietMs = 200) const;

private:
    PtyPair m_pty;
};
